# Checks that a file is a Windows Installer package before the build embeds it:
# a compound file (signature D0 CF 11 E0 A1 B1 1A E1) whose root storage carries
# the Windows Installer class id {000C1084-0000-0000-C000-000000000046}.
#
# include() it for patcher_check_package(PATH WHAT), or run it as a build step:
#   cmake -DPACKAGE=in.msi -DCOPY_TO=out.msi -DWHAT=description -P PackageCheck.cmake
# which checks the package and then copies it.

# Reads LENGTH bytes at OFFSET as a little-endian unsigned number.
function(_patcher_read_le path offset length out)
  file(READ "${path}" hex OFFSET ${offset} LIMIT ${length} HEX)
  set(value 0)
  math(EXPR last "${length} - 1")
  foreach(i RANGE ${last} 0 -1)
    math(EXPR at "${i} * 2")
    string(SUBSTRING "${hex}" ${at} 2 byte)
    math(EXPR value "${value} * 256 + 0x${byte}")
  endforeach()
  set(${out} ${value} PARENT_SCOPE)
endfunction()

# Spells 16 class-id bytes as stored the way a class id is written: {...}.
function(_patcher_class_id_text hex out)
  set(text "")
  foreach(at 6 4 2 0 -1 10 8 -1 14 12 -1 16 18 -1 20 22 24 26 28 30)
    if(at EQUAL -1)
      string(APPEND text "-")
    else()
      string(SUBSTRING "${hex}" ${at} 2 byte)
      string(APPEND text "${byte}")
    endif()
  endforeach()
  string(TOUPPER "{${text}}" text)
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

function(patcher_check_package path what)
  if(NOT EXISTS "${path}" OR IS_DIRECTORY "${path}")
    message(FATAL_ERROR "${what} \"${path}\": no such file.")
  endif()
  file(SIZE "${path}" size)
  file(READ "${path}" signature LIMIT 8 HEX)
  if(size LESS 512 OR NOT signature STREQUAL "d0cf11e0a1b11ae1")
    message(FATAL_ERROR "${what} \"${path}\" is not a Windows Installer package: it does not "
                        "begin with the compound-file signature D0 CF 11 E0 A1 B1 1A E1.")
  endif()

  # The root storage is the first entry of the directory, whose first sector the
  # header names; its class id lies 0x50 bytes into the 128-byte entry.
  _patcher_read_le("${path}" 30 2 sector_shift)
  _patcher_read_le("${path}" 48 4 directory_sector)
  if(NOT (sector_shift EQUAL 9 OR sector_shift EQUAL 12) OR directory_sector GREATER 4294967290)
    message(FATAL_ERROR "${what} \"${path}\" is not a Windows Installer package: its "
                        "compound-file header is damaged.")
  endif()
  math(EXPR root "(${directory_sector} + 1) << ${sector_shift}")
  math(EXPR root_end "${root} + 128")
  if(root_end GREATER size)
    message(FATAL_ERROR "${what} \"${path}\" is not a Windows Installer package: it is cut "
                        "short before its directory.")
  endif()
  math(EXPR class_at "${root} + 80")
  file(READ "${path}" class_id OFFSET ${class_at} LIMIT 16 HEX)
  # {000C1084-0000-0000-C000-000000000046} as stored: the first three fields little-endian.
  if(NOT class_id STREQUAL "84100c0000000000c000000000000046")
    _patcher_class_id_text("${class_id}" found)
    message(FATAL_ERROR "${what} \"${path}\" is not a Windows Installer package: its root "
                        "storage carries the class id ${found}, not the Windows Installer "
                        "class id {000C1084-0000-0000-C000-000000000046}.")
  endif()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  if(NOT WHAT)
    set(WHAT "Package")
  endif()
  patcher_check_package("${PACKAGE}" "${WHAT}")
  if(COPY_TO)
    file(COPY_FILE "${PACKAGE}" "${COPY_TO}")
  endif()
endif()
