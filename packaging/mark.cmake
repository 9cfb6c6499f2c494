# SPDX-License-Identifier: MIT
# A setter's marking in one command: what a class handed in, against the
# answer sheets that its releases wrote.
#
#   cmake -DANSWERS=answers.tsv[;late/answers.tsv...] -DHANDED_IN=file
#         -DMARKS=marks.tsv -P packaging/mark.cmake
#
# HANDED_IN has a class file's form (class_file.cmake reads both): a name, a
# tab, and what the student handed in, the key's five characters or its ten
# hex digits in either case. MARKS, which must not exist yet, gets a line for
# each student of the answer sheets, in their order, then one for each name
# handed in that no sheet holds: the name; the status; what was handed in, as
# hex, so that no blank is lost; whose key it is, where it is another's; and
# who else handed in this student's key. The statuses:
#   correct  the key, or a key that the setter gave this student and others
#   copied   another student's key
#   blanks   the key only once blanks at the ends are left out
#   wrong    anything else
#   missing  no line handed in
#   unknown  a name that no answer sheet holds
# Standard output gets the count of each status, then who handed in whose key.
cmake_minimum_required(VERSION 3.25)

# Stops before anything is written.
function(refuse)
	string(JOIN "" why ${ARGN})
	message(FATAL_ERROR "${why}\nNothing was written.")
endfunction()
include(${CMAKE_CURRENT_LIST_DIR}/class_file.cmake)

foreach(variable ANSWERS HANDED_IN MARKS)
	if("${${variable}}" STREQUAL "")
		refuse("Give ANSWERS, HANDED_IN and MARKS: cmake -DANSWERS=answers.tsv "
			"-DHANDED_IN=handed-in.tsv -DMARKS=marks.tsv -P packaging/mark.cmake")
	endif()
endforeach()
cmake_path(ABSOLUTE_PATH MARKS NORMALIZE)
if(EXISTS "${MARKS}" OR IS_SYMLINK "${MARKS}")
	refuse("${MARKS} exists already: name a new file for the marks, and that one is left as it is")
endif()

# The students: key_of_NAME, and owners_KEY, the students given that key.
set(students "")
foreach(sheet IN LISTS ANSWERS)
	cmake_path(ABSOLUTE_PATH sheet NORMALIZE)
	read_class("${sheet}")
	foreach(name number key checked IN ZIP_LISTS student_names student_lines class_keys class_checked)
		if(NOT checked)
			refuse("${sheet}:${number}: an answer sheet's line is a name, the key and the key's hex, "
				"as the release writes them in answers.tsv")
		elseif(DEFINED key_of_${name})
			refuse("${sheet}:${number}: ${name} stands in two answer sheets")
		endif()
		set(key_of_${name} ${key})
		list(APPEND owners_${key} ${name})
		list(APPEND students ${name})
	endforeach()
endforeach()

# What was handed in: handed_NAME, as hex, and handers_HEX, who handed it in.
cmake_path(ABSOLUTE_PATH HANDED_IN NORMALIZE)
read_student_lines("${HANDED_IN}")
set(unknown "")
foreach(name rest IN ZIP_LISTS student_names student_rests)
	string(REGEX REPLACE "^>(09 )?" "" given "${rest}")
	string(LENGTH "${given}" length)
	if(length EQUAL 30 AND given MATCHES "^((3[0-9]|[46][1-6]) )+$")
		text_of("${given}" handed) # ten hex digits name a key
		string(TOLOWER "${handed}" handed)
	else()
		string(REPLACE " " "" handed "${given}")
	endif()
	set(handed_${name} "${handed}")
	list(APPEND handers_${handed} ${name})
	if(NOT DEFINED key_of_${name})
		list(APPEND unknown ${name})
	endif()
endforeach()

set(marks "# name\tstatus\thanded in, as hex\tkey of\thanded in by\n")
set(copies "")
foreach(status correct wrong missing blanks copied unknown)
	set(count_${status} 0)
endforeach()
foreach(name IN LISTS students unknown)
	set(key "${key_of_${name}}")
	set(handed "${handed_${name}}")
	set(key_of "")
	# Blanks (hex 20) at either end left out; a pair at the end of hex is a byte.
	string(REGEX REPLACE "^(20)+|(20)+$" "" trimmed_key "${key}")
	string(REGEX REPLACE "^(20)+|(20)+$" "" trimmed "${handed}")
	if(NOT DEFINED handed_${name})
		set(status missing)
	elseif(key STREQUAL "")
		set(status unknown)
		set(key_of "${owners_${handed}}")
	elseif(handed STREQUAL key)
		set(status correct)
	elseif(DEFINED owners_${handed})
		set(status copied)
		set(key_of "${owners_${handed}}")
		list(JOIN key_of ", " owners)
		string(APPEND copies "\n${name} handed in the key of ${owners}")
	elseif(trimmed STREQUAL trimmed_key)
		set(status blanks)
	else()
		set(status wrong)
	endif()
	math(EXPR count_${status} "${count_${status}} + 1")
	# Who else handed this key in; not named handed_by, which a student
	# called "by" would share with handed_NAME.
	set(others "")
	if(NOT key STREQUAL "")
		set(others "${handers_${key}}")
		list(REMOVE_ITEM others ${name})
	endif()
	list(JOIN key_of ", " key_of)
	list(JOIN others ", " others)
	string(APPEND marks "${name}\t${status}\t${handed}\t${key_of}\t${others}\n")
endforeach()

# Written beside MARKS, then moved into place whole.
set(partial "${MARKS}.partial")
file(WRITE "${partial}" "${marks}")
file(RENAME "${partial}" "${MARKS}" RESULT renamed NO_REPLACE)
if(NOT renamed EQUAL 0)
	file(REMOVE "${partial}")
	if(renamed STREQUAL "NO_REPLACE")
		set(renamed "it has come to exist meanwhile")
	endif()
	message(FATAL_ERROR "Could not move the marks into ${MARKS}: ${renamed}. Nothing was written.")
endif()
set(summary "")
foreach(status correct wrong missing blanks copied unknown)
	list(APPEND summary "${count_${status}} ${status}")
endforeach()
list(JOIN summary ", " summary)
execute_process(COMMAND ${CMAKE_COMMAND} -E echo "${summary}${copies}")
