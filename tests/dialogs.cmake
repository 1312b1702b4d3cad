orlune_add_test(tst_numberspinbox GUI)
orlune_add_test(tst_foldertree GUI)
orlune_add_test(tst_settingsform GUI)
orlune_add_test(tst_versiondialog GUI)
