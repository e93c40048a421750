# Writes stand-ins for the twelve package files of the essentials bundle into
# OUT: small zip archives named after the catalogue's identifiers
# (essentials/catalog.cpp), each holding one text member that names its
# package. Korvel's own packages are not shipped; the stand-ins let the demo
# and the tests install "the bundle" on a simulated phone. Files that are
# already up to date are left alone.
#   cmake -DOUT=FOLDER -P make-standins.cmake
if(NOT OUT)
  message(FATAL_ERROR "usage: cmake -DOUT=FOLDER -P make-standins.cmake")
endif()
set(ids
  com.korvel.Korvel com.korvel.AppDesk com.korvel.FileDesk com.korvel.TaskDesk
  com.korvel.Sweeper com.korvel.StartDesk com.korvel.MarkDesk com.korvel.HomeDesk
  com.korvel.CodeScan com.korvel.Torch com.korvel.MemFree com.korvel.DevInfo)

file(MAKE_DIRECTORY "${OUT}")
set(work "${OUT}/.standins")
foreach(id IN LISTS ids)
  file(REMOVE_RECURSE "${work}")
  file(MAKE_DIRECTORY "${work}/assets")
  file(WRITE "${work}/assets/${id}.txt"
       "Stand-in for ${id}, a Korvel utility of Vantaro's essentials bundle.\n"
       "Korvel's own package is not shipped; this file only lets a simulated phone install \"${id}\".\n")
  execute_process(COMMAND "${CMAKE_COMMAND}" -E tar cf "${work}/${id}.apk" --format=zip
                          "--mtime=2010-01-01 00:00:00Z" assets
                  WORKING_DIRECTORY "${work}" RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "cannot write the stand-in for ${id}")
  endif()
  file(COPY_FILE "${work}/${id}.apk" "${OUT}/${id}.apk" ONLY_IF_DIFFERENT)
endforeach()
file(REMOVE_RECURSE "${work}")
