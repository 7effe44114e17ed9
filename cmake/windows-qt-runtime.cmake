# What a Qt program of the Windows build needs beside its .exe, copied into the programs' folder:
# the Qt libraries, the platform plugins (windows for the screen, offscreen for the tests), the
# native style and the MinGW runtime that Qt's libraries and the programs that link Qt share. The
# other programs carry their runtime (linked statically). There is no windeployqt for this Qt.

set(PELORIX_QT_LIBRARIES Qt6Core Qt6Gui Qt6Widgets Qt6Test)
set(PELORIX_QT_PLUGINS platforms/qwindows platforms/qoffscreen styles/qwindowsvistastyle)
set(PELORIX_MINGW_RUNTIME libgcc_s_dw2-1.dll libstdc++-6.dll libwinpthread-1.dll)

function(pelorix_mingw_runtime_file name out)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${name}
        OUTPUT_VARIABLE found OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${found}")
        # libwinpthread comes with the MinGW-w64 headers and libraries, not with the compiler.
        find_file(found_in_root ${name} PATHS /usr/${PELORIX_MINGW_TRIPLET}/lib NO_DEFAULT_PATH
            NO_CMAKE_FIND_ROOT_PATH)
        set(found ${found_in_root})
    endif()
    if(NOT EXISTS "${found}")
        message(FATAL_ERROR "The MinGW runtime library ${name} was not found")
    endif()
    set(${out} ${found} PARENT_SCOPE)
endfunction()

set(copies)
set(outputs)
foreach(library IN LISTS PELORIX_QT_LIBRARIES)
    list(APPEND copies COMMAND ${CMAKE_COMMAND} -E copy_if_different
        ${QT6_INSTALL_PREFIX}/${QT6_INSTALL_BINS}/${library}.dll ${PELORIX_BIN_DIR}/)
    list(APPEND outputs ${PELORIX_BIN_DIR}/${library}.dll)
endforeach()
foreach(plugin IN LISTS PELORIX_QT_PLUGINS)
    get_filename_component(folder ${plugin} DIRECTORY)
    list(APPEND copies COMMAND ${CMAKE_COMMAND} -E make_directory ${PELORIX_BIN_DIR}/${folder}
        COMMAND ${CMAKE_COMMAND} -E copy_if_different
        ${QT6_INSTALL_PREFIX}/${QT6_INSTALL_PLUGINS}/${plugin}.dll ${PELORIX_BIN_DIR}/${folder}/)
    list(APPEND outputs ${PELORIX_BIN_DIR}/${plugin}.dll)
endforeach()
foreach(runtime IN LISTS PELORIX_MINGW_RUNTIME)
    pelorix_mingw_runtime_file(${runtime} path)
    list(APPEND copies COMMAND ${CMAKE_COMMAND} -E copy_if_different ${path} ${PELORIX_BIN_DIR}/)
    list(APPEND outputs ${PELORIX_BIN_DIR}/${runtime})
endforeach()
add_custom_command(OUTPUT ${outputs} ${copies} COMMENT "Copying Qt and the MinGW runtime beside the programs")
add_custom_target(pelorix_qt_runtime ALL DEPENDS ${outputs})

# pelorix_deploy_qt(TARGET): TARGET links Qt with Qt's runtime libraries and finds what it needs
# in the programs' folder.
function(pelorix_deploy_qt target)
    set_target_properties(${target} PROPERTIES PELORIX_SHARED_RUNTIME ON)
    add_dependencies(${target} pelorix_qt_runtime)
endfunction()
