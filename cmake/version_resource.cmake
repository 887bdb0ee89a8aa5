# vfk_version_resource(TARGET DESCRIPTION): a VERSIONINFO resource for a
# Windows program or DLL (file and product version from the project's
# version, description, original file name), compiled by the cross
# toolchain's windres.
set(VFK_PUBLISHER "vfkthumb developers" CACHE INTERNAL "Who publishes the programs")
function(vfk_version_resource target description)
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "SHARED_LIBRARY")
    set(VFK_RC_TYPE VFT_DLL)
    set(VFK_RC_FILE ${target}.dll)
  else()
    set(VFK_RC_TYPE VFT_APP)
    set(VFK_RC_FILE ${target}.exe)
  endif()
  set(VFK_RC_NAME ${target})
  set(VFK_RC_DESCRIPTION "${description}")
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()
