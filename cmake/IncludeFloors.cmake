# Fails when a source file includes from a folder above its own: the floors of HACKING.md,
# checked on every "#include" of the tree. A folder names the folders it may include
# from; a file includes its own folder freely. Inside app/ the feature folders have floors
# of their own: widgets/ below list/ and options/, those below run/, the history window
# over run/, and the main window at app/'s top over all of them. Below app/ no file
# includes Qt Widgets or Qt Gui, and only filelist/ includes Qt at all (QtCore's headers,
# found in QTCORE_DIR).
#
#   cmake -DSOURCE_DIR=<repository> -DQTCORE_DIR=<QtCore include folder> -P IncludeFloors.cmake

cmake_minimum_required(VERSION 3.25)

if(NOT SOURCE_DIR OR NOT QTCORE_DIR)
  message(FATAL_ERROR "SOURCE_DIR and QTCORE_DIR must be given")
endif()

# Who may include from whom. The first word of a quoted include names the folder.
set(floor_engine)
set(floor_langlib)
set(floor_filelist engine)
set(floor_filetags engine filelist)
set(floor_settings engine filelist)
set(floor_rename engine filelist)
set(floor_language langlib)
set(floor_cli engine filelist filetags settings rename)
set(floor_app engine filelist filetags settings language rename)
# Around the modules: tests, benchmarks and fuzz targets reach any module; the benchmarks
# also share the tests' support files. Nothing else includes them.
set(modules engine langlib filelist filetags settings rename language cli app)
set(floor_tests ${modules})
set(floor_bench ${modules} tests)
set(floor_fuzz ${modules})

# app/'s feature folders, by the part of the path after "app/"; "top" is a file directly
# in app/ (and the screenshot renderer in app/tools/, a program on top of the window).
set(app_floor_widgets)
set(app_floor_list widgets)
set(app_floor_options widgets)
set(app_floor_run widgets list options)
set(app_floor_history widgets run)
set(app_floor_top widgets list options run history top)
set(app_features widgets list options run history)

function(app_feature path out)
  set(feature top)
  foreach(f IN LISTS app_features)
    if(path MATCHES "^app/${f}/")
      set(feature ${f})
    endif()
  endforeach()
  set(${out} ${feature} PARENT_SCOPE)
endfunction()

# The names of QtCore's headers, the one part of Qt that filelist/ may use.
file(GLOB qtcore_headers RELATIVE ${QTCORE_DIR} ${QTCORE_DIR}/Q*)
if(NOT qtcore_headers)
  message(FATAL_ERROR "no Qt headers in ${QTCORE_DIR}")
endif()

set(faults)
set(checked 0)
foreach(folder IN LISTS modules ITEMS tests bench fuzz)
  file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/${folder}/*.h
       ${SOURCE_DIR}/${folder}/*.cpp)
  foreach(source IN LISTS sources)
    math(EXPR checked "${checked} + 1")
    file(STRINGS ${SOURCE_DIR}/${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*" "" target "${line}")
      if(target MATCHES "^\"([a-z]+)/([^\"]*)\"")
        set(to ${CMAKE_MATCH_1})
        set(rest ${CMAKE_MATCH_2})
        if(NOT to STREQUAL folder)
          if(NOT to IN_LIST floor_${folder})
            list(APPEND faults "${source}: ${folder}/ includes ${to}/ (${target})")
          elseif(to STREQUAL "langlib" AND folder STREQUAL "language"
                 AND NOT rest STREQUAL "vocalith.h")
            list(APPEND faults "${source}: language/ reaches Vocalith past its C API (${target})")
          elseif(to STREQUAL "filelist" AND folder STREQUAL "settings" AND source MATCHES "\\.h$")
            list(APPEND faults "${source}: a settings/ header includes filelist/ (${target})")
          endif()
        elseif(folder STREQUAL "app")
          app_feature("${source}" from)
          app_feature("app/${rest}" into)
          if(NOT into STREQUAL from AND NOT into IN_LIST app_floor_${from})
            list(APPEND faults "${source}: app/${from} includes app/${into} (${target})")
          endif()
        endif()
      elseif(target MATCHES "^<(Q[A-Za-z]*)[/>]" AND folder IN_LIST modules
             AND NOT folder STREQUAL "app")
        set(header ${CMAKE_MATCH_1})
        if(NOT folder STREQUAL "filelist")
          list(APPEND faults "${source}: ${folder}/ includes Qt (${target})")
        elseif(NOT header IN_LIST qtcore_headers AND NOT header STREQUAL "QtCore")
          list(APPEND faults "${source}: filelist/ includes Qt beyond QtCore (${target})")
        endif()
      endif()
    endforeach()
  endforeach()
endforeach()

if(checked LESS 100)
  message(FATAL_ERROR "only ${checked} files found under ${SOURCE_DIR}")
endif()
list(LENGTH faults count)
if(count GREATER 0)
  list(JOIN faults "\n  " listed)
  message(FATAL_ERROR "${count} include(s) run up a floor:\n  ${listed}")
endif()
message(STATUS "${checked} files keep their floors")
