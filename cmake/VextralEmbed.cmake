# vextral_embed(TARGET target NAME resource-name FILE path [DEPENDS targets...])
# Compiles the file's bytes into TARGET and registers them before main under
# resource-name, so that StreamOpen("incbin::<resource-name>") reads them in place.
# TARGET may be an executable, a shared library or a static/interface library; for a
# library the bytes travel as object files to every executable that links it, so the
# linker cannot drop a registration that nothing references by name.
# When FILE is made by a custom command, name the target that owns that command in
# DEPENDS: the embedding then waits for it instead of running the command a second time.

if(NOT TARGET vextral_embed_tool)
  if(CMAKE_CROSSCOMPILING)
    # The tool runs at build time: it comes from a build for the build machine
    # (tools/windows/build.sh and tools/web/build.sh make one), named by VEXTRAL_HOST_TOOLS.
    add_executable(vextral_embed_tool IMPORTED)
    set_target_properties(vextral_embed_tool PROPERTIES
                          IMPORTED_LOCATION ${VEXTRAL_HOST_TOOLS}/vextral_embed_tool)
  else()
    add_executable(vextral_embed_tool ${CMAKE_CURRENT_LIST_DIR}/../tools/embed/embed_main.cpp)
  endif()
endif()

function(vextral_embed)
  cmake_parse_arguments(ARG "" "TARGET;NAME;FILE" "DEPENDS" ${ARGN})
  if(NOT ARG_TARGET OR NOT ARG_NAME OR NOT ARG_FILE)
    message(FATAL_ERROR "vextral_embed needs TARGET, NAME and FILE")
  endif()
  if(NOT TARGET ${ARG_TARGET})
    message(FATAL_ERROR "vextral_embed: ${ARG_TARGET} is not a target (define it first)")
  endif()
  get_filename_component(input ${ARG_FILE} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})

  # Names may hold any characters; the hash keeps distinct names from colliding.
  string(MAKE_C_IDENTIFIER "${ARG_NAME}" identifier)
  string(MD5 name_hash "${ARG_NAME}")
  string(SUBSTRING ${name_hash} 0 8 name_hash)
  set(objects ${ARG_TARGET}_embed_${identifier}_${name_hash})
  set(output ${CMAKE_CURRENT_BINARY_DIR}/embedded/${objects}.cpp)

  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/embedded
    COMMAND vextral_embed_tool ${input} ${output} ${ARG_NAME}
    DEPENDS vextral_embed_tool ${input}
    COMMENT "Embedding ${ARG_FILE} as ${ARG_NAME}"
    VERBATIM)
  add_library(${objects} OBJECT ${output})
  target_link_libraries(${objects} PRIVATE vextral_stream)
  if(ARG_DEPENDS)
    add_dependencies(${objects} ${ARG_DEPENDS})
  endif()

  get_target_property(type ${ARG_TARGET} TYPE)
  if(type STREQUAL "EXECUTABLE" OR type STREQUAL "SHARED_LIBRARY" OR type STREQUAL "MODULE_LIBRARY")
    target_link_libraries(${ARG_TARGET} PRIVATE ${objects} vextral_stream)
  else()
    target_link_libraries(${ARG_TARGET} INTERFACE ${objects} vextral_stream)
    target_sources(${ARG_TARGET} INTERFACE $<TARGET_OBJECTS:${objects}>)
  endif()
endfunction()
