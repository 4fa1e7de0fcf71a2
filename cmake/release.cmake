# What a Windows user downloads: writes the readme beside KORVEN.exe, packs it, the program and the shipped KORVEN.ini into the
# folder KORVEN/ of KORVEN-<version>-win32.zip and puts its sha256sum line beside it. The files in the archive
# carry the commit's time and fixed modes, so two builds of one commit give the same bytes.
#   cmake -DSOURCE=<repository> -DDIST=<folder of KORVEN.exe> -DWORK=<scratch folder> -DKORVEN_VERSION=<x.y.z>
#         -DZIP=<Info-ZIP zip> -P release.cmake
set(readme KORVEN-README.txt)
set(archive KORVEN-${KORVEN_VERSION}-win32.zip)

# Notepad takes a file for UTF-8 by its byte-order mark; CRLF is what every Windows editor reads as a line end.
file(READ ${SOURCE}/res/readme.txt.in text)
string(CONFIGURE "${text}" text @ONLY)
string(REPLACE "\n" "\r\n" text "${text}")
string(ASCII 239 187 191 bom)
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/KORVEN)
file(WRITE ${WORK}/${readme} "${bom}${text}")
file(COPY_FILE ${WORK}/${readme} ${DIST}/${readme} ONLY_IF_DIFFERENT)

execute_process(COMMAND git -C ${SOURCE} log -1 --format=%ct OUTPUT_VARIABLE stamp RESULT_VARIABLE rc
                OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
if(NOT rc EQUAL 0 OR NOT stamp MATCHES "^[0-9]+$")
  set(stamp 1767225600)
  message(STATUS "release: no git commit in ${SOURCE}; the files in ${archive} are dated 2026-01-01 00:00 UTC")
endif()

# The shipped layout from data/: dist/KORVEN.ini is a working copy that "終了" in a local run rewrites.
set(entries "")
foreach(f KORVEN.exe KORVEN.ini ${readme})
  set(from ${DIST}/${f})
  if(f STREQUAL "KORVEN.ini")
    set(from ${SOURCE}/data/KORVEN.ini)
  endif()
  file(COPY_FILE ${from} ${WORK}/KORVEN/${f})
  list(APPEND entries KORVEN/${f})
endforeach()
# The archive keeps each file's Unix mode and time: neither is left to the umask or the build's clock.
file(CHMOD ${WORK}/KORVEN/KORVEN.exe ${WORK}/KORVEN/KORVEN.ini ${WORK}/KORVEN/${readme}
     PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
execute_process(COMMAND touch -d @${stamp} ${entries} WORKING_DIRECTORY ${WORK} COMMAND_ERROR_IS_FATAL ANY)
# -X: no extra fields (owner, access time); -D: no entry for the folder itself; the DOS times read as UTC.
execute_process(COMMAND ${CMAKE_COMMAND} -E env TZ=UTC ${ZIP} -q -X -D -9 ${archive} ${entries}
                WORKING_DIRECTORY ${WORK} COMMAND_ERROR_IS_FATAL ANY)
file(SHA256 ${WORK}/${archive} sum)
file(WRITE ${WORK}/${archive}.sha256 "${sum}  ${archive}\n")

# A zip of an earlier version would be taken for this one's.
file(GLOB stale ${DIST}/KORVEN-*-win32.zip ${DIST}/KORVEN-*-win32.zip.sha256)
list(FILTER stale EXCLUDE REGEX "/${archive}(\\.sha256)?$")
if(stale)
  file(REMOVE ${stale})
endif()
file(COPY_FILE ${WORK}/${archive} ${DIST}/${archive} ONLY_IF_DIFFERENT)
file(COPY_FILE ${WORK}/${archive}.sha256 ${DIST}/${archive}.sha256 ONLY_IF_DIFFERENT)
