# SPDX-License-Identifier: MIT
# Run by cpack, as CPACK_INSTALL_SCRIPTS, in place of its own install of the
# project: installs only the component CPACK_ZENTU_COMPONENT of the build in
# CPACK_ZENTU_BUILD, and as cpack installs a project, so that the package
# holds the same bytes. cpack gives a script its staging folder as the prefix,
# or, where it stages under DESTDIR (the .deb), the default prefix in place of
# the packaging prefix; and it strips only what it installs itself.
set(CMAKE_INSTALL_COMPONENT ${CPACK_ZENTU_COMPONENT})
if(NOT "$ENV{DESTDIR}" STREQUAL "" AND DEFINED CPACK_PACKAGING_INSTALL_PREFIX)
	set(CMAKE_INSTALL_PREFIX ${CPACK_PACKAGING_INSTALL_PREFIX})
endif()
if(CPACK_STRIP_FILES)
	set(CMAKE_INSTALL_DO_STRIP 1)
endif()
include(${CPACK_ZENTU_BUILD}/cmake_install.cmake)
