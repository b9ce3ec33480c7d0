# `cpack -G ZIP` of the Windows build: ferrylift-<version>-win64.zip with what ships
# (installer/cmake/install.cmake, component runtime) and ferrylift-<version>-win64-debug.zip
# with the debug information to keep beside the release. Included from the top level before
# cmake/Packaging.cmake, which includes CPack once for the whole build.
set(CPACK_PACKAGE_NAME ferrylift)
set(CPACK_PACKAGE_VENDOR Tideboard)
set(CPACK_PACKAGE_VERSION ${FERRYLIFT_PRODUCT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Tideboard update installer")
set(CPACK_GENERATOR ZIP)
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime debug)
set(CPACK_ARCHIVE_RUNTIME_FILE_NAME ferrylift-${FERRYLIFT_PRODUCT_VERSION}-win64)
set(CPACK_ARCHIVE_DEBUG_FILE_NAME ferrylift-${FERRYLIFT_PRODUCT_VERSION}-win64-debug)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
