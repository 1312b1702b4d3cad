# End-to-end tests: the real executable under Xvfb and openbox, driven from outside through
# the X server (tests/e2e/harness.py). Each script is one CTest entry, labelled e2e.
file(GLOB E2E_SCRIPTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/e2e/test_*.py)
foreach(script ${E2E_SCRIPTS})
    get_filename_component(name ${script} NAME_WE)
    add_test(NAME e2e_${name} COMMAND /usr/bin/python3 ${script})
    set_tests_properties(e2e_${name} PROPERTIES
        ENVIRONMENT "ORLUNE_EXECUTABLE=$<TARGET_FILE:Orlune>;PYTHONDONTWRITEBYTECODE=1;TZ=Asia/Tokyo;ASAN_OPTIONS=detect_leaks=1:abort_on_error=1;LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_SOURCE_DIR}/lsan.supp:print_suppressions=0;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
        LABELS e2e TIMEOUT 300)
endforeach()
