# Fails when a file of a layer includes a header of a layer it may not use
# directly, in either spelling ("irc/X.h" or <irc/X.h>), or climbs out of
# its folder with "../" (which would get round the include roots the
# compiler sees). Run by the build (target fr_layer_check) with
#   cmake -DFR_SOURCE_DIR=<root> -DFR_TABLE=<fr_layers.cmake> -DFR_STAMP=<file>
#         -P CheckLayers.cmake
# The table is written by cmake/Layers.cmake from the layer picture of the
# top CMakeLists.txt. A layer always includes itself.
include(${FR_TABLE})

set(nFaults 0)
foreach(strLayer IN LISTS FR_LAYERS)
  set(strFolder ${FR_FOLDER_${strLayer}})
  file(GLOB files "${FR_SOURCE_DIR}/${strFolder}/*.h" "${FR_SOURCE_DIR}/${strFolder}/*.cpp")
  foreach(strFile IN LISTS files)
    file(RELATIVE_PATH strRel "${FR_SOURCE_DIR}" "${strFile}")
    file(STRINGS "${strFile}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
    foreach(strLine IN LISTS includes)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]*)[>\"].*$" "\\1" strPath
             "${strLine}")
      if(strPath MATCHES "(^|/)\\.\\.(/|$)")
        message(SEND_ERROR "${strRel}: an include may not climb out with \"../\": ${strLine}")
        math(EXPR nFaults "${nFaults} + 1")
        continue()
      endif()
      # Which layer's folder the path names, if any.
      set(strUsed "")
      foreach(strOther IN LISTS FR_LAYERS)
        string(LENGTH "${FR_FOLDER_${strOther}}/" nLen)
        string(SUBSTRING "${strPath}" 0 ${nLen} strPrefix)
        if(strPrefix STREQUAL "${FR_FOLDER_${strOther}}/")
          set(strUsed ${strOther})
        endif()
      endforeach()
      if(strUsed STREQUAL "" OR strUsed STREQUAL strLayer)
        continue()  # a system header, or the layer's own
      endif()
      list(FIND FR_USES_${strLayer} "${strUsed}" nAllowed)
      if(nAllowed LESS 0)
        message(SEND_ERROR "${strRel}: ${strLayer}/ may not include ${strUsed}/: ${strLine}")
        math(EXPR nFaults "${nFaults} + 1")
      endif()
    endforeach()
  endforeach()
endforeach()
if(nFaults GREATER 0)
  message(FATAL_ERROR "${nFaults} include(s) against the layers")
endif()
if(FR_STAMP)
  file(TOUCH "${FR_STAMP}")
endif()
