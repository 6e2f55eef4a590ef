# Settings shared by every target of the project: compile definitions that keep
# bytes and text apart, and the warning set.
function(postrella_target_defaults target)
    target_compile_definitions(${target} PRIVATE
        QT_NO_CAST_FROM_ASCII
        QT_NO_CAST_TO_ASCII
        QT_NO_CONTEXTLESS_CONNECT
        QT_USE_QSTRINGBUILDER)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Wold-style-cast)
    if(POSTRELLA_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()
