orlune_add_test(tst_icons GUI)
