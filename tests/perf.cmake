orlune_add_test(tst_deferredtree GUI)
