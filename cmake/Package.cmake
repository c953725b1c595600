# The release: TovelBin.exe and the Help folder (index.html and the
# screenshots it shows) in one zip.
file(GLOB TOVEL_HELP_FILES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/Help/*.html ${CMAKE_SOURCE_DIR}/Help/*.png)
add_custom_target(package
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${CMAKE_BINARY_DIR}/package
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/package/TovelBin/Help
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:TovelBin> ${CMAKE_BINARY_DIR}/package/TovelBin/
    COMMAND ${CMAKE_COMMAND} -E copy ${TOVEL_HELP_FILES} ${CMAKE_BINARY_DIR}/package/TovelBin/Help/
    COMMAND ${CMAKE_COMMAND} -E chdir ${CMAKE_BINARY_DIR}/package ${CMAKE_COMMAND} -E tar cf ../TovelBin-1.0.0.0.zip --format=zip TovelBin
    DEPENDS TovelBin
    COMMENT "Packing TovelBin-1.0.0.0.zip")
