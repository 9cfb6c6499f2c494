# SPDX-License-Identifier: MIT
# Read by cpack before it makes each package, with CPACK_GENERATOR naming it.

if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
	set(ENV{SOURCE_DATE_EPOCH} ${CPACK_ZENTU_SOURCE_DATE_EPOCH})
endif()

if(CPACK_ZENTU_UNHARDENED)
	message(FATAL_ERROR "Packages promise a hardened zentu, and ${CPACK_ZENTU_UNHARDENED}: "
		"package a Release build made with g++, as the presets make (cmake --workflow --preset default, then cpack in build/)")
endif()
if(CPACK_GENERATOR STREQUAL "DEB")
	if(CPACK_ZENTU_STATIC)
		message(FATAL_ERROR "Debian's policy wants a dynamically linked zentu: make the .deb from a build without ZENTU_STATIC")
	endif()
	if(CPACK_ZENTU_CROSSCOMPILING)
		message(FATAL_ERROR "Debian builds its packages natively: make the .deb on the machine it is for")
	endif()
	# Without them CPack only warns, and writes a .deb with no Depends. A tool
	# that is present but cannot run defeats find_program: run each one.
	foreach(tool dpkg-shlibdeps file)
		execute_process(COMMAND ${tool} --version RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET)
		if(NOT status EQUAL 0)
			message(FATAL_ERROR "The .deb takes its Depends from dpkg-shlibdeps, which needs file, "
				"and ${tool} cannot run here: apt-get install dpkg-dev file")
		endif()
	endforeach()
	# A release's further key (release_keys.cmake) depends on what the
	# release found that zentu itself depends on: the same build links both.
	if(CPACK_ZENTU_COMPONENT AND DEFINED ENV{ZENTU_DEB_DEPENDS})
		set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
		set(CPACK_DEBIAN_PACKAGE_DEPENDS "$ENV{ZENTU_DEB_DEPENDS}")
	endif()
	set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
	set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/deb_member_modes.cmake)
else()
	set(CPACK_PACKAGE_CHECKSUM SHA256)
endif()
