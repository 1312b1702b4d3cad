# The icons are compared with their drawings in the source tree, so a stale bake shows.
orlune_add_test(tst_icons GUI LIBS Qt6::Svg)
target_compile_definitions(tst_icons PRIVATE
    ORLUNE_ICON_SOURCE_DIR="${PROJECT_SOURCE_DIR}/src/ui/resources")

add_test(NAME desktop_file_valid
    COMMAND desktop-file-validate ${PROJECT_SOURCE_DIR}/data/orlune.desktop)
add_test(NAME metainfo_valid
    COMMAND appstreamcli validate --no-net ${PROJECT_SOURCE_DIR}/data/orlune.metainfo.xml)
# Installs this build into a throwaway home, then uninstalls it with the user's scripts.
add_test(NAME install_roundtrip
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/install_roundtrip.sh ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR})
set_tests_properties(desktop_file_valid metainfo_valid install_roundtrip PROPERTIES TIMEOUT 60)
