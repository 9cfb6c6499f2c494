# SPDX-License-Identifier: MIT
# A class's further keys, built beside zentu so that one build, one CTest
# run and one build of their packages serve them all, each tool running as
# many jobs at once as it is told. ZENTU_RELEASE_KEYS holds NUMBER=HEX
# items, separated by commas: a student's number in the class, and the key.
# Each key's road, from its executable to its package:
#   keys/NUMBER/zentu, built by the default target as zentu is;
#   the tests keyNUMBER_usage, keyNUMBER_key_chosen and keyNUMBER_key_hidden,
#     labelled "keys": the checks that tell one key's executable apart;
#   the target package-keyNUMBER, which packages it into keys/NUMBER/packages
#     as cpack packages zentu: a .deb where zentu is linked dynamically, an
#     archive where it is static.
set(ZENTU_RELEASE_KEYS "" CACHE STRING
	"For the release: further keys, NUMBER=HEX separated by commas, each built into keys/NUMBER/")
string(REPLACE "," ";" release_keys "${ZENTU_RELEASE_KEYS}")
set(key_generator DEB)
if(ZENTU_STATIC)
	set(key_generator TGZ)
endif()

foreach(item IN LISTS release_keys)
	string(TOLOWER "${item}" item)
	set(definitions "")
	if(item MATCHES "^([0-9]+)=(.*)$")
		set(number ${CMAKE_MATCH_1})
		set(key_hex ${CMAKE_MATCH_2})
		key_definitions("${key_hex}" definitions)
	endif()
	if(NOT definitions)
		message(FATAL_ERROR "ZENTU_RELEASE_KEYS: \"${item}\" is not NUMBER=HEX, with a key of five "
			"printable ASCII characters in hex")
	endif()
	set(target zentu-key${number})
	set(folder ${PROJECT_BINARY_DIR}/keys/${number})
	add_executable(${target} ${PROJECT_SOURCE_DIR}/zentu.cpp)
	target_compile_definitions(${target} PRIVATE ${definitions})
	set_target_properties(${target} PROPERTIES OUTPUT_NAME zentu RUNTIME_OUTPUT_DIRECTORY ${folder})
	install_zentu(${target} COMPONENT key${number} EXCLUDE_FROM_ALL)

	# cpack's own install of a project builds the whole project first, and
	# in the same build folder: a script installs just this key's component.
	add_custom_target(package-key${number}
		COMMAND ${CMAKE_CPACK_COMMAND} -G ${key_generator} --config ${PROJECT_BINARY_DIR}/CPackConfig.cmake
			-B ${folder}/packages -D CPACK_INSTALL_CMAKE_PROJECTS=
			-D CPACK_INSTALL_SCRIPTS=${CMAKE_CURRENT_LIST_DIR}/install_component.cmake
			-D CPACK_ZENTU_BUILD=${PROJECT_BINARY_DIR} -D CPACK_ZENTU_COMPONENT=key${number}
		VERBATIM)
	add_dependencies(package-key${number} ${target})

	if(BUILD_TESTING)
		foreach(group usage key_chosen key_hidden)
			add_test(NAME key${number}_${group}
				COMMAND zentu_test ${group} ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:${target}>)
		endforeach()
		set_tests_properties(key${number}_usage key${number}_key_chosen key${number}_key_hidden
			PROPERTIES LABELS keys TIMEOUT 30 SKIP_RETURN_CODE 77)
		set_tests_properties(key${number}_key_chosen PROPERTIES ENVIRONMENT ZENTU_TEST_KEY_HEX=${key_hex})
	endif()
endforeach()
