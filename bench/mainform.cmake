orlune_add_bench(bench_mainform)
target_link_libraries(bench_mainform PRIVATE Qt6::Test)
