include(CMakePackageConfigHelpers)

install(TARGETS quillmere EXPORT QuillmereTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY include/quillmere DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(TARGETS quillmere_tool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

install(EXPORT QuillmereTargets NAMESPACE Quillmere::
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Quillmere)
configure_package_config_file(cmake/QuillmereConfig.cmake.in
    ${CMAKE_CURRENT_BINARY_DIR}/QuillmereConfig.cmake
    INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Quillmere)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/QuillmereConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/QuillmereConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/QuillmereConfigVersion.cmake
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Quillmere)

# The pkg-config file finds its prefix relative to itself, so an installed tree can be moved.
file(RELATIVE_PATH QM_PC_TO_PREFIX "/root/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/root")
configure_file(cmake/quillmere.pc.in ${CMAKE_CURRENT_BINARY_DIR}/quillmere.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/quillmere.pc
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
