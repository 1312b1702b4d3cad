# Start-up measurement: a floor program with the toolkit alone, and an X client that times the
# first paint of a program's window from outside it. Run by scripts/bench-startup.
add_executable(orlune_floor startup/Floor.cpp)
target_link_libraries(orlune_floor PRIVATE Qt6::Widgets)

add_executable(orlune_makediary startup/MakeDiary.cpp)
target_link_libraries(orlune_makediary PRIVATE orlune_storage)

find_package(PkgConfig)
if(PkgConfig_FOUND)
    pkg_check_modules(XCB_DAMAGE IMPORTED_TARGET xcb xcb-damage)
endif()
if(XCB_DAMAGE_FOUND)
    add_executable(orlune_firstpaint startup/FirstPaint.cpp)
    target_link_libraries(orlune_firstpaint PRIVATE PkgConfig::XCB_DAMAGE)
else()
    message(STATUS "xcb-damage not found: the start-up benchmark's watcher is not built")
endif()

# Keystroke latency from outside the program; run by scripts/bench-typing.
if(PkgConfig_FOUND)
    pkg_check_modules(XCB_XTEST IMPORTED_TARGET xcb-xtest)
endif()
if(XCB_DAMAGE_FOUND AND XCB_XTEST_FOUND)
    add_executable(orlune_keylatency typing/KeyLatency.cpp)
    target_link_libraries(orlune_keylatency PRIVATE PkgConfig::XCB_DAMAGE PkgConfig::XCB_XTEST)
else()
    message(STATUS "xcb-xtest not found: the typing benchmark's typist is not built")
endif()
