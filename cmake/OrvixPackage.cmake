# The Debian package of the whole system: `cpack -G DEB` in a build folder (after building
# it) writes orvix_<version>_<arch>.deb there. Installing it registers the viewers with
# setuptool; removing it unregisters them (installer/debian).

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvix)
set(CPACK_PACKAGE_VENDOR "rolund")
set(CPACK_PACKAGE_CONTACT "orvix maintainers <orvix@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "DVR viewer with its browser controls, simulator and signaling library")
set(CPACK_PACKAGE_DESCRIPTION
  "The orvix viewer of a DVR's cameras, the ActiveX control OrviX.ocx and the plug-in
nporvicam.dll with the video libraries and the platform library, the installer setuptool,
regsvr32 and reg over the registry, the DVR simulator dvrsim, the example pages, and the
signaling library sigbus with its headers, pkg-config and CMake files.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
# Installed binaries carry no symbols; dependencies come from the libraries they link.
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/platform
  ${PROJECT_BINARY_DIR}/platform/h264dec ${PROJECT_BINARY_DIR}/videolib
  ${PROJECT_BINARY_DIR}/signaling)

set(ORVIX_PACKAGE_SETUPTOOL "${CPACK_PACKAGING_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/setuptool")
set(ORVIX_PACKAGE_BINDIR "${CPACK_PACKAGING_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}")
foreach(script postinst prerm)
  configure_file(${PROJECT_SOURCE_DIR}/installer/debian/${script}.in
    ${PROJECT_BINARY_DIR}/debian/${script} @ONLY
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
      WORLD_READ WORLD_EXECUTE)
endforeach()
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${PROJECT_BINARY_DIR}/debian/postinst ${PROJECT_BINARY_DIR}/debian/prerm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
