# vextral_keep_system_sources(list-variable)
# What differs between systems lives in one file per system and concern: *_posix.cpp,
# *_windows.cpp or *_web.cpp (and its tests in *_posix_test.cpp or *_windows_test.cpp).
# Leaves in the list only the files for the system being built for. A system's file also
# stands in for a foo.cpp the other systems share: foo_windows.cpp or foo_web.cpp replaces
# foo.cpp. The browser build (Emscripten, whose C library is a POSIX one) takes the POSIX
# files too, except where foo_web.cpp replaces foo_posix.cpp.
function(vextral_keep_system_sources variable)
  set(sources ${${variable}})
  if(WIN32)
    set(system windows)
    list(FILTER sources EXCLUDE REGEX "_(posix|web)(_test)?\\.cpp$")
  elseif(EMSCRIPTEN)
    set(system web)
    list(FILTER sources EXCLUDE REGEX "_windows(_test)?\\.cpp$")
  else()
    set(system posix)
    list(FILTER sources EXCLUDE REGEX "_(windows|web)(_test)?\\.cpp$")
  endif()
  set(own_sources ${sources})
  list(FILTER own_sources INCLUDE REGEX "_${system}\\.cpp$")
  foreach(own_source ${own_sources})
    string(REGEX REPLACE "_${system}\\.cpp$" "" stem ${own_source})
    list(REMOVE_ITEM sources ${stem}.cpp)
    if(EMSCRIPTEN)
      list(REMOVE_ITEM sources ${stem}_posix.cpp)
    endif()
  endforeach()
  set(${variable} ${sources} PARENT_SCOPE)
endfunction()

# vextral_library(NAME folder DEPENDS libs...)
# Builds every .cpp of a subsystem folder (including its subfolders) into the
# static library vextral_<folder> (files named *_main.cpp excepted); the repository root is the include root, so
# headers are included as "render/pixmap.h".
function(vextral_library)
  cmake_parse_arguments(ARG "" "NAME" "DEPENDS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  # Files named *_main.cpp hold an executable's main() and stay out of the library.
  list(FILTER sources EXCLUDE REGEX "_main\\.cpp$")
  vextral_keep_system_sources(sources)
  if(NOT sources)
    # A folder still being written: keep the target so dependants configure.
    set(placeholder ${CMAKE_CURRENT_BINARY_DIR}/empty_${ARG_NAME}.cpp)
    file(WRITE ${placeholder} "")
    set(sources ${placeholder})
  endif()
  add_library(vextral_${ARG_NAME} STATIC ${sources})
  target_include_directories(vextral_${ARG_NAME} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(vextral_${ARG_NAME} PUBLIC ${ARG_DEPENDS})
endfunction()

# vextral_test(NAME name SOURCES files... LIBS libs... [DISPLAY [EVERY_GL_CONTEXT]]
#              [LABELS labels...])
# One GoogleTest executable. Tests that need a display run under a private
# Xvfb server started by tools/with-xvfb.sh (with EVERY_GL_CONTEXT twice: through a desktop
# OpenGL core context, and as name_es through an OpenGL ES one); the others are discovered
# case by case.
function(vextral_test)
  cmake_parse_arguments(ARG "DISPLAY;EVERY_GL_CONTEXT" "NAME" "SOURCES;LIBS;LABELS;ENVIRONMENT"
                        ${ARGN})
  if(WIN32)
    # Test files that exercise what only POSIX systems have (signals, fork, symbolic links,
    # permission bits, /proc) are left out there; tests/CMakeLists.txt names them.
    set(kept)
    foreach(source ${ARG_SOURCES})
      get_filename_component(file_name ${source} NAME)
      if(NOT file_name IN_LIST VEXTRAL_POSIX_ONLY_TEST_FILES)
        list(APPEND kept ${source})
      endif()
    endforeach()
    if(NOT kept)
      return()
    endif()
    set(ARG_SOURCES ${kept})
  endif()
  vextral_keep_system_sources(ARG_SOURCES)
  add_executable(${ARG_NAME} ${ARG_SOURCES})
  target_link_libraries(${ARG_NAME} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main
                                            GTest::gmock)
  # The game keeps its files in the player's home when its data folder is read-only: a
  # player folder that can never be made keeps the tests away from the real home.
  list(PREPEND ARG_ENVIRONMENT XDG_DATA_HOME=/dev/null/vextral-tests)
  if(CMAKE_CROSSCOMPILING)
    # Run on the other system, each executable once: the build lists them in
    # cross-tests.txt for tools/windows/run-tests.sh.
    if(ARG_DISPLAY)
      set(kind display)
    else()
      set(kind plain)
    endif()
    # The player folder variable means nothing there: the runner gives each run a fresh
    # system of its own instead.
    list(REMOVE_AT ARG_ENVIRONMENT 0)
    list(JOIN ARG_ENVIRONMENT " " environment)
    set_property(GLOBAL APPEND PROPERTY VEXTRAL_CROSS_TESTS
                 "${kind} $<TARGET_FILE:${ARG_NAME}> ${environment}")
  elseif(ARG_DISPLAY AND ARG_EVERY_GL_CONTEXT)
    # Once through a desktop OpenGL 3.3 core context, once through an OpenGL ES 3.0 one.
    foreach(context core es)
      set(test_name ${ARG_NAME})
      if(context STREQUAL "es")
        set(test_name ${ARG_NAME}_es)
      endif()
      add_test(NAME ${test_name}
               COMMAND ${PROJECT_SOURCE_DIR}/tools/with-xvfb.sh $<TARGET_FILE:${ARG_NAME}>)
      set_tests_properties(${test_name} PROPERTIES LABELS "display;${ARG_LABELS}"
                           ENVIRONMENT "${ARG_ENVIRONMENT};VEXTRAL_GL_CONTEXT=${context}")
    endforeach()
  elseif(ARG_DISPLAY)
    add_test(NAME ${ARG_NAME}
             COMMAND ${PROJECT_SOURCE_DIR}/tools/with-xvfb.sh $<TARGET_FILE:${ARG_NAME}>)
    set_tests_properties(${ARG_NAME} PROPERTIES LABELS "display;${ARG_LABELS}"
                                                ENVIRONMENT "${ARG_ENVIRONMENT}")
  else()
    # gtest_discover_tests passes its PROPERTIES through two rounds of list splitting, which
    # cuts a list value (several variables, several labels) after its first item and reads
    # the rest as further properties. So the properties are set by a script of their own,
    # run by ctest after the one that defines the discovered tests, on the names it lists.
    gtest_discover_tests(${ARG_NAME} DISCOVERY_TIMEOUT 60 TEST_LIST ${ARG_NAME}_TESTS)
    set(properties_script ${CMAKE_CURRENT_BINARY_DIR}/${ARG_NAME}_properties.cmake)
    file(WRITE ${properties_script}
         "if(${ARG_NAME}_TESTS)\n"
         "  set_tests_properties(\${${ARG_NAME}_TESTS} PROPERTIES\n"
         "                       ENVIRONMENT [==[${ARG_ENVIRONMENT}]==]\n"
         "                       LABELS [==[unit;${ARG_LABELS}]==])\n"
         "endif()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${properties_script})
  endif()
endfunction()
