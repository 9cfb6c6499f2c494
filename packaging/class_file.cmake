# SPDX-License-Identifier: MIT
# Reads a setter's files of one student a line: a class list, an answer
# sheet, what a class handed in. A line is a name, then a tab and fields
# separated by tabs. Blank lines and lines that begin with # are skipped, a
# line may end in CR LF, and a UTF-8 byte-order mark, as spreadsheets write
# one, is skipped. Bytes travel as hex, a pair and a blank each ("61 64 "),
# so that no byte means anything to CMake. The includer defines refuse(),
# which stops before anything is made.
include_guard(GLOBAL)

# A printable ASCII character as hex, and five of them without blanks: a key.
set(printable_byte "([2-6][0-9a-f]|7[0-9a-e])")
string(REPEAT "${printable_byte}" 5 five_printable_bytes)

# "xx xx ", a byte a pair, to text.
function(text_of spaced_hex out)
	string(REGEX MATCHALL "[0-9a-f][0-9a-f]" bytes "${spaced_hex}")
	set(text "")
	foreach(byte IN LISTS bytes)
		math(EXPR code "0x${byte}")
		string(ASCII ${code} character)
		string(APPEND text "${character}")
	endforeach()
	set(${out} "${text}" PARENT_SCOPE)
endfunction()

# Spaced hex, quoted as text where it is printable ASCII, and as \xNN
# where it is not, for messages.
function(shown spaced_hex out)
	string(REGEX MATCHALL "[0-9a-f][0-9a-f]" bytes "${spaced_hex}")
	set(text "\"")
	foreach(byte IN LISTS bytes)
		if(byte STREQUAL "5c")
			string(APPEND text "\\\\")
		elseif(byte MATCHES "^${printable_byte}$")
			text_of(${byte} character)
			string(APPEND text "${character}")
		else()
			string(APPEND text "\\x${byte}")
		endif()
	endforeach()
	set(${out} "${text}\"" PARENT_SCOPE)
endfunction()

# Reads FILE's lines into three lists in the caller: student_names, their
# names as text; student_lines, their line numbers; student_rests, what
# follows the name, as spaced hex behind a ">", which keeps an empty rest
# in the list: ">" for a line that is a name alone, ">09 " for a name and a
# tab. A name stands once in the file, and is letters, digits, ".", "_" and
# "-", not first "." or "-".
function(read_student_lines file)
	if(NOT EXISTS "${file}" OR IS_DIRECTORY "${file}")
		refuse("There is no file ${file}")
	endif()
	# file(READ) stops the script with CMake's own message where it cannot read.
	execute_process(COMMAND ${CMAKE_COMMAND} -E cat "${file}" OUTPUT_QUIET
		ERROR_VARIABLE why RESULT_VARIABLE status)
	if(NOT status EQUAL 0)
		string(STRIP "${why}" why)
		refuse("Cannot read ${file}: ${why}")
	endif()
	file(READ "${file}" content HEX)
	if(content MATCHES "^(fffe|feff)")
		refuse("${file} is UTF-16: save it as UTF-8 text, which is what it is read as")
	endif()
	string(REGEX REPLACE "^efbbbf" "" content "${content}")
	string(REGEX REPLACE "(..)" "\\1 " content "${content}")
	if(content MATCHES "(^| )00 ")
		refuse("${file} holds zero bytes, as UTF-16 does: save it as UTF-8 text")
	endif()
	# A newline is the pair "0a " only where a pair begins.
	string(REPLACE "0a " ";" lines "${content}")
	set(names "")
	set(numbers "")
	set(rests "")
	set(number 0)
	# Letters, digits, ".", "_" and "-".
	set(name_byte "(2d|2e|3[0-9]|4[1-9a-f]|5[0-9a]|5f|6[1-9a-f]|7[0-9a]) ")
	foreach(line IN LISTS lines)
		math(EXPR number "${number} + 1")
		string(REGEX REPLACE "0d $" "" line "${line}")
		if(line STREQUAL "" OR line MATCHES "^23 ")
			continue()
		endif()
		string(FIND "${line}" "09 " tab)
		if(tab EQUAL -1)
			set(name "${line}")
			set(rest "")
		else()
			string(SUBSTRING "${line}" 0 ${tab} name)
			string(SUBSTRING "${line}" ${tab} -1 rest)
		endif()
		if(NOT name MATCHES "^(${name_byte})+$" OR name MATCHES "^2[de] ")
			shown("${line}" line)
			if(name MATCHES "(^| )(20|2c) ")
				refuse("${file}:${number}: a name holds no blank or comma, and a tab separates "
					"it from what follows: ${line}")
			endif()
			refuse("${file}:${number}: a name is letters, digits, \".\", \"_\" and \"-\", not first "
				"\".\" or \"-\": ${line}")
		endif()
		text_of("${name}" name)
		if(name IN_LIST names)
			refuse("${file}:${number}: ${name} stands twice")
		endif()
		list(APPEND names ${name})
		list(APPEND numbers ${number})
		list(APPEND rests ">${rest}")
	endforeach()
	set(student_names "${names}" PARENT_SCOPE)
	set(student_lines "${numbers}" PARENT_SCOPE)
	set(student_rests "${rests}" PARENT_SCOPE)
endfunction()

# Reads a class list or an answer sheet: a name, which the release gives a
# random key; or a name, a tab and a key; or those and a tab and the key's
# hex, as answers.tsv has it, which must agree with the key. Sets, besides
# student_names and student_lines: class_keys, each key in hex without
# blanks, or "random"; class_checked, ON for a key that came with its hex.
function(read_class file)
	read_student_lines("${file}")
	set(keys "")
	set(checked "")
	foreach(name number rest IN ZIP_LISTS student_names student_lines student_rests)
		set(where "${file}:${number}")
		string(REGEX REPLACE "^>(09 )?" "" rest "${rest}")
		string(REPLACE "09 " ";" fields "${rest}")
		list(LENGTH fields count)
		if(rest STREQUAL "")
			list(APPEND keys random)
			list(APPEND checked OFF)
			continue()
		elseif(count GREATER 2)
			math(EXPR count "${count} + 1")
			refuse("${where}: a line holds a name, or a name, a tab and a key, and at most a tab "
				"and the key's hex after them, not ${count} fields")
		endif()
		list(GET fields 0 key)
		string(REPLACE " " "" key "${key}")
		if(NOT key MATCHES "^${five_printable_bytes}$")
			list(GET fields 0 key)
			shown("${key}" key)
			refuse("${where}: ${name}'s key must be five printable ASCII characters, not ${key}")
		endif()
		list(APPEND keys ${key})
		if(count EQUAL 2)
			list(GET fields 1 key_in_hex)
			text_of("${key_in_hex}" key_in_hex)
			string(TOLOWER "${key_in_hex}" key_in_hex)
			if(NOT key_in_hex STREQUAL key)
				text_of("${key}" key)
				refuse("${where}: ${name}'s key is \"${key}\", but the hex beside it says \"${key_in_hex}\"")
			endif()
			list(APPEND checked ON)
		else()
			list(APPEND checked OFF)
		endif()
	endforeach()
	set(student_names "${student_names}" PARENT_SCOPE)
	set(student_lines "${student_lines}" PARENT_SCOPE)
	set(class_keys "${keys}" PARENT_SCOPE)
	set(class_checked "${checked}" PARENT_SCOPE)
endfunction()
