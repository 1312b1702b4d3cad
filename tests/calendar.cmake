orlune_add_test(tst_calendar GUI)

# Not a test: shows calendars in a small window so a person can look at them
# (scripts/shot-calendar photographs it).
add_executable(calendar_preview calendar_preview.cpp)
target_link_libraries(calendar_preview PRIVATE orlune_core)
