# Writes the package's copyright file from copyright.in with the holder and the licence that
# whoever builds the package for distribution chose (packaging/CMakeLists.txt, README "Install"):
#
#   cmake -DIN=copyright.in -DOUT=copyright -DHOLDER="..." [-DLICENSE=SPDX-ID]
#         [-DLICENSE_FILE=path] -P WriteCopyright.cmake
#
# Without a licence the file says none is published and all rights are reserved. A licence
# must come with its terms: its text (LICENSE_FILE), or a name Debian keeps in
# /usr/share/common-licenses, which the file then refers to.
foreach(var IN ITEMS IN OUT HOLDER)
  if(NOT DEFINED ${var} OR "${${var}}" STREQUAL "")
    message(FATAL_ERROR "WriteCopyright.cmake: ${var} is not given")
  endif()
endforeach()
if(NOT DEFINED LICENSE)
  set(LICENSE "")
endif()
if(NOT DEFINED LICENSE_FILE)
  set(LICENSE_FILE "")
endif()

set(common /usr/share/common-licenses)
if(LICENSE STREQUAL "")
  if(NOT LICENSE_FILE STREQUAL "")
    message(FATAL_ERROR "A licence text (SERVOBENCH_PACKAGE_LICENSE_FILE=${LICENSE_FILE}) needs the licence's "
                        "SPDX name in SERVOBENCH_PACKAGE_LICENSE")
  endif()
  set(block "The project has not published a licence for its own code yet; until it does,\nall rights are reserved by ${HOLDER}.")
else()
  if(NOT LICENSE MATCHES "^[A-Za-z0-9][A-Za-z0-9.+-]*$")
    message(FATAL_ERROR "SERVOBENCH_PACKAGE_LICENSE='${LICENSE}' is not an SPDX licence name "
                        "(such as GPL-3.0-or-later or MIT)")
  endif()
  # Debian's names for the licences it ships: GPL-3.0-or-later is GPL-3, LGPL-2.1-only LGPL-2.1.
  set(debian_name ${LICENSE})
  if(LICENSE MATCHES "^(L?GPL|GFDL)-([0-9]+)\\.([0-9]+)(-only|-or-later)?$")
    if(CMAKE_MATCH_3 STREQUAL "0")
      set(debian_name "${CMAKE_MATCH_1}-${CMAKE_MATCH_2}")
    else()
      set(debian_name "${CMAKE_MATCH_1}-${CMAKE_MATCH_2}.${CMAKE_MATCH_3}")
    endif()
  endif()
  if(NOT LICENSE_FILE STREQUAL "")
    if(NOT EXISTS "${LICENSE_FILE}" OR IS_DIRECTORY "${LICENSE_FILE}")
      message(FATAL_ERROR "SERVOBENCH_PACKAGE_LICENSE_FILE=${LICENSE_FILE} is not a readable file")
    endif()
    file(READ "${LICENSE_FILE}" text)
    # Whole text, not a list of lines: a licence's semicolons must survive.
    string(REPLACE "\r\n" "\n" text "${text}")
    string(REGEX REPLACE "[ \t]+\n" "\n" text "${text}")
    string(REGEX REPLACE "^\n+" "" text "${text}")
    string(REGEX REPLACE "[ \t\n]+$" "" text "${text}")
    if(text STREQUAL "")
      message(FATAL_ERROR "SERVOBENCH_PACKAGE_LICENSE_FILE=${LICENSE_FILE} is empty")
    endif()
    # Debian's layout of a licence text: each line indented by one space, an empty line as " .".
    while(text MATCHES "\n\n")
      string(REPLACE "\n\n" "\n.\n" text "${text}")
    endwhile()
    string(REPLACE "\n" "\n " text "${text}")
    set(text "\n ${text}")
    set(block "License: ${LICENSE}${text}")
  elseif(EXISTS "${common}/${debian_name}")
    set(block "License: ${LICENSE}\nOn Debian systems the full text of this licence is in\n${common}/${debian_name}.")
  else()
    message(FATAL_ERROR "SERVOBENCH_PACKAGE_LICENSE=${LICENSE}: Debian ships no text of it in ${common}; "
                        "give its full text with SERVOBENCH_PACKAGE_LICENSE_FILE")
  endif()
endif()

set(LICENSE_BLOCK "${block}")
configure_file("${IN}" "${OUT}" @ONLY)
