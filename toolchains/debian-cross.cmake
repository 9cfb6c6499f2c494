# SPDX-License-Identifier: MIT
# Builds with one of Debian's cross compilers, and runs what it builds, the
# tests included, under qemu-user. Each target's file sets the GNU triplet
# (zentu_triplet), the qemu-user that runs its programs (zentu_qemu) and
# CMAKE_SYSTEM_PROCESSOR, which names the archive: what uname -m prints there.
foreach(tool ${zentu_triplet}-g++ ${zentu_qemu})
	execute_process(COMMAND ${tool} --version RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET)
	if(NOT status EQUAL 0)
		message(FATAL_ERROR "${tool} cannot run here: on Debian, "
			"apt-get install g++-${zentu_triplet} qemu-user-static")
	endif()
endforeach()

set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER ${zentu_triplet}-gcc)
set(CMAKE_CXX_COMPILER ${zentu_triplet}-g++)
# -L: where a dynamically linked program finds the target's C library.
set(CMAKE_CROSSCOMPILING_EMULATOR ${zentu_qemu} -L /usr/${zentu_triplet})

set(CMAKE_FIND_ROOT_PATH /usr/${zentu_triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
