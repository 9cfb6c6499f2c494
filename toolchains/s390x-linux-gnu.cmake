# SPDX-License-Identifier: MIT
# IBM Z Linux (s390x). On Debian:
# apt-get install g++-s390x-linux-gnu qemu-user-static
set(zentu_triplet s390x-linux-gnu)
set(zentu_qemu qemu-s390x-static)
set(CMAKE_SYSTEM_PROCESSOR s390x)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
