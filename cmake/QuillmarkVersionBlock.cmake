# quillmark_version_block(target DESCRIPTION text INTERNAL_NAME name ORIGINAL_FILENAME name)
#
# Embeds the product's version block (file version from the project version, company,
# product, copyright, translation 040904E4) in an executable target, in the ELF section
# ".qm_version" that TVersionInfo reads back.
#
# Included by the top-level CMakeLists.txt, so the template's place below is seen by every
# directory that calls the function.
set(QUILLMARK_VERSION_BLOCK_TEMPLATE ${CMAKE_CURRENT_LIST_DIR}/versionblock.cpp.in)

# The same numbers for C++ code that writes the version as text: "buildversion.h", found
# through QUILLMARK_GENERATED_DIR.
set(QUILLMARK_GENERATED_DIR ${PROJECT_BINARY_DIR}/generated)
configure_file(${CMAKE_CURRENT_LIST_DIR}/buildversion.h.in
               ${QUILLMARK_GENERATED_DIR}/buildversion.h @ONLY)

function(quillmark_version_block target)
  # Set inside the function, so that variables of these names where it is called cannot
  # change what a program embeds.
  set(QUILLMARK_COMPANY "Marlowick")
  set(QUILLMARK_PRODUCT "Quillmark")
  set(QUILLMARK_COPYRIGHT "Copyright © 2026 Marlowick and the Quillmark developers")
  cmake_parse_arguments(ARG "" "DESCRIPTION;INTERNAL_NAME;ORIGINAL_FILENAME" "" ${ARGN})
  foreach(part DESCRIPTION INTERNAL_NAME ORIGINAL_FILENAME)
    if(NOT ARG_${part})
      message(FATAL_ERROR "quillmark_version_block(${target}): ${part} is missing")
    endif()
  endforeach()

  # Values become C++ string literals.
  function(_qm_vb_literal out value)
    string(REPLACE "\\" "\\\\" value "${value}")
    string(REPLACE "\"" "\\\"" value "${value}")
    set(${out} "${value}" PARENT_SCOPE)
  endfunction()

  set(QM_VB_TARGET ${target})
  _qm_vb_literal(QM_VB_COMPANY "${QUILLMARK_COMPANY}")
  _qm_vb_literal(QM_VB_PRODUCT "${QUILLMARK_PRODUCT}")
  _qm_vb_literal(QM_VB_COPYRIGHT "${QUILLMARK_COPYRIGHT}")
  _qm_vb_literal(QM_VB_DESCRIPTION "${ARG_DESCRIPTION}")
  _qm_vb_literal(QM_VB_INTERNAL_NAME "${ARG_INTERNAL_NAME}")
  _qm_vb_literal(QM_VB_ORIGINAL_FILENAME "${ARG_ORIGINAL_FILENAME}")
  set(QM_VB_VERSION "${PROJECT_VERSION}")
  set(QM_VB_MAJOR ${PROJECT_VERSION_MAJOR})
  set(QM_VB_MINOR ${PROJECT_VERSION_MINOR})
  set(QM_VB_RELEASE ${PROJECT_VERSION_PATCH})
  set(QM_VB_BUILD ${PROJECT_VERSION_TWEAK})
  set(QM_VB_LANGUAGE 0409) # US English
  set(QM_VB_CODEPAGE 04E4) # the Western code page number; the texts themselves are UTF-8

  set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_versionblock.cpp)
  configure_file(${QUILLMARK_VERSION_BLOCK_TEMPLATE} ${out} @ONLY)
  # Compiled into the program itself: from a static library the linker would drop it,
  # since nothing refers to it.
  target_sources(${target} PRIVATE ${out})
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR})
endfunction()
