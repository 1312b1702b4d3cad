# Failure handling proven from outside: injected and real write failures, kills mid-save,
# hostile files met by the real program, private modes, and the fuzzers' findings replayed.
orlune_add_test(tst_faults GUI)
orlune_add_test(tst_privacy)
orlune_add_test(tst_fuzzfindings)

orlune_add_test(tst_crashcampaign)
add_dependencies(tst_crashcampaign entry_save_loop orlune_slowflush)
target_compile_definitions(tst_crashcampaign PRIVATE
    ENTRY_SAVE_LOOP_PATH="$<TARGET_FILE:entry_save_loop>"
    SLOW_FLUSH_PATH="$<TARGET_FILE:orlune_slowflush>")

orlune_add_test(tst_hostile GUI)
add_dependencies(tst_hostile Orlune)
target_compile_definitions(tst_hostile PRIVATE ORLUNE_EXECUTABLE="$<TARGET_FILE:Orlune>")

# Each fuzz target built with the test compiler and run over its seeds and every input a
# campaign found failing, so a finding stays fixed without clang or libFuzzer.
foreach(target profilefile cp932 linebreaks integertext loadentry)
    set(replay fuzz_replay_${target})
    add_executable(${replay} ${PROJECT_SOURCE_DIR}/fuzz/fuzz_${target}.cpp fuzz_replay.cpp)
    target_link_libraries(${replay} PRIVATE orlune_storage)
    target_include_directories(${replay} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
    add_test(NAME ${replay} COMMAND ${replay} ${PROJECT_SOURCE_DIR}/fuzz/corpus/${target}
        ${PROJECT_SOURCE_DIR}/fuzz/regressions/${target})
    set_tests_properties(${replay} PROPERTIES ENVIRONMENT "${ORLUNE_TEST_ENV}" TIMEOUT 120)
endforeach()
