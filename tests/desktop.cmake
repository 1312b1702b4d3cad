# Reads the windows through Qt's accessibility interface; turning the bridge on as a screen
# reader would takes the platform's private interface.
orlune_add_test(tst_accessibility GUI LIBS Qt6::GuiPrivate)
