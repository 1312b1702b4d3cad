orlune_add_test(tst_cp932)
orlune_add_test(tst_settingsfile)
orlune_add_test(tst_entryfiles)
orlune_add_test(tst_rescuefiles)

# Saves entries in a loop until killed; the crash test (and longer campaigns) drive it.
add_executable(entry_save_loop entry_save_loop.cpp)
target_link_libraries(entry_save_loop PRIVATE orlune_storage)
orlune_add_test(tst_crashsafety)
add_dependencies(tst_crashsafety entry_save_loop)
target_compile_definitions(tst_crashsafety PRIVATE
    ENTRY_SAVE_LOOP_PATH="$<TARGET_FILE:entry_save_loop>")
