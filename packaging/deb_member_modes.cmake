# SPDX-License-Identifier: MIT
# cpack gives the three members of a .deb (an ar archive) the modes of files
# it has just written, and so the builder's umask; dpkg-deb writes 100644.
# Run by cpack after it makes the .deb, this writes 100644 into each header.
foreach(package IN LISTS CPACK_PACKAGE_FILES)
	set(mode_file ${package}.mode)
	file(WRITE "${mode_file}" "100644  ") # the header's 8-byte mode field
	set(header 8) # after "!<arch>\n"
	foreach(member debian-binary control data)
		math(EXPR size_field "${header} + 48")
		file(READ "${package}" size OFFSET ${size_field} LIMIT 10)
		string(STRIP "${size}" size)
		math(EXPR mode_field "${header} + 40")
		execute_process(COMMAND dd "of=${package}" bs=1 seek=${mode_field} conv=notrunc status=none
			INPUT_FILE "${mode_file}" COMMAND_ERROR_IS_FATAL ANY)
		# Each member's data is padded to an even length.
		math(EXPR header "${header} + 60 + ${size} + ${size} % 2")
	endforeach()
	file(REMOVE "${mode_file}")
endforeach()
