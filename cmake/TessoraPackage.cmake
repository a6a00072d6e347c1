# `make package`: the Debian package dist/tessora_VERSION_amd64.deb, made by CPack from the
# install rules. Its dependencies are the libraries the programs link, as dpkg-shlibdeps finds
# them, and the run-time packages no linker sees, listed once in scripts/packages/runtime.txt
# (which `make run` installs too).
file(STRINGS "${PROJECT_SOURCE_DIR}/scripts/packages/runtime.txt" runtime_lines)
set(runtime_packages "")
foreach(line ${runtime_lines})
  string(REGEX REPLACE "#.*" "" line "${line}")
  string(REGEX MATCHALL "[^ \t]+" words "${line}")
  list(APPEND runtime_packages ${words})
endforeach()
list(JOIN runtime_packages ", " TESSORA_RUNTIME_DEPENDS)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tessora)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_CONTACT "Tessora developers <developers@tessora.io>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "compose a desktop wallpaper from a background and a center image")
# CPack puts the summary on the first line and indents these lines, an empty one becoming " .".
set(CPACK_PACKAGE_DESCRIPTION
  "Tessora composes a wallpaper from a tile picture repeated over the desktop,
or a background generated from two colours, and a center image placed on
top of it, and installs it as the desktop wallpaper, copies it to the
clipboard or saves it as a PNG, JPEG or BMP file.

The command tessora-compose replays the same commands from scripts.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_OUTPUT_FILE_PREFIX "${PROJECT_SOURCE_DIR}/dist")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${TESSORA_RUNTIME_DEPENDS}")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The build keeps its debugging information; the package does not need it.
set(CPACK_STRIP_FILES ON)
# What is installed under /etc is the administrator's to change, and dpkg keeps their change.
file(WRITE "${CMAKE_BINARY_DIR}/package/conffiles" "/etc/xdg/autostart/io.tessora.Tessora.Follow.desktop\n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA "${CMAKE_BINARY_DIR}/package/conffiles")
include(CPack)

# The package's documentation folder: the copyright notice and the changelog, compressed without
# a time stamp as Debian's tools do.
include(GNUInstallDirs)
set(doc_dir "${CMAKE_INSTALL_DATADIR}/doc/tessora")
set(changelog "${CMAKE_BINARY_DIR}/package/changelog.gz")
add_custom_command(OUTPUT "${changelog}"
  COMMAND ${CMAKE_COMMAND} -E make_directory "${CMAKE_BINARY_DIR}/package"
  COMMAND gzip -9n -c "${PROJECT_SOURCE_DIR}/assets/changelog" > "${changelog}"
  DEPENDS "${PROJECT_SOURCE_DIR}/assets/changelog")
add_custom_target(tessora_package_docs ALL DEPENDS "${changelog}")
install(FILES "${PROJECT_SOURCE_DIR}/assets/copyright" "${changelog}" DESTINATION "${doc_dir}")
