# SPDX-License-Identifier: MIT
# Read by cpack before it makes each package, with CPACK_GENERATOR naming it.

if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
	set(ENV{SOURCE_DATE_EPOCH} ${CPACK_ZENTU_SOURCE_DATE_EPOCH})
endif()

if(CPACK_GENERATOR STREQUAL "DEB")
	if(CPACK_ZENTU_STATIC)
		message(FATAL_ERROR "Debian's policy wants a dynamically linked zentu: make the .deb from a build without ZENTU_STATIC")
	endif()
	if(CPACK_ZENTU_CROSSCOMPILING)
		message(FATAL_ERROR "Debian builds its packages natively: make the .deb on the machine it is for")
	endif()
	set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
	set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/deb_member_modes.cmake)
else()
	set(CPACK_PACKAGE_CHECKSUM SHA256)
endif()
