# Translation catalogues: compiled with lrelease at build time, embedded as resources under
# :/translations (where TranslationCenter looks for them), and listed for the catalogue check of
# tests/tst_translations, which runs lupdate over the sources and compares with the .ts files.

find_package(Qt${QT_MAJOR_VERSION} ${TEV_QT_MIN_VERSION} REQUIRED COMPONENTS LinguistTools)

# tev_add_translations(<target> <Catalogue> <file_<lang>.ts>... [SOURCES <dir or file>...])
#
# Embeds the catalogues of <target> as the resource "<catalogue>_translations" (lower case), so
# that the code loads them with Q_INIT_RESOURCE(<catalogue>_translations) and registers
# <Catalogue> with TranslationCenter. SOURCES are what lupdate scans for the check, by default
# the calling folder. Every .ts must be named "<catalogue in lower case>_<language>.ts".
function(tev_add_translations target catalogue)
    cmake_parse_arguments(ARG "" "" "SOURCES" ${ARGN})
    set(ts_files ${ARG_UNPARSED_ARGUMENTS})
    if(NOT ts_files)
        message(FATAL_ERROR "tev_add_translations(${target} ${catalogue}): no .ts file given")
    endif()
    if(NOT ARG_SOURCES)
        set(ARG_SOURCES ${CMAKE_CURRENT_SOURCE_DIR})
    endif()
    string(TOLOWER ${catalogue} lower)

    set(ts_paths "")
    foreach(ts ${ts_files})
        get_filename_component(ts_path ${ts} ABSOLUTE)
        get_filename_component(ts_name ${ts} NAME)
        # TranslationCenter finds a catalogue only under this name.
        if(NOT ts_name MATCHES "^${lower}_[A-Za-z_]+\\.ts$")
            message(FATAL_ERROR "${ts}: the catalogue ${catalogue} needs ${lower}_<language>.ts")
        endif()
        list(APPEND ts_paths ${ts_path})
    endforeach()
    set(source_paths "")
    foreach(source ${ARG_SOURCES})
        get_filename_component(source_path ${source} ABSOLUTE)
        list(APPEND source_paths ${source_path})
    endforeach()

    # The versionless spelling, which both Qt 5.15 and Qt 6 offer: the lrelease of the Qt in use.
    qt_add_translation(qm_files ${ts_paths})
    set(entries "")
    foreach(qm ${qm_files})
        get_filename_component(qm_name ${qm} NAME)
        string(APPEND entries "    <file alias=\"${qm_name}\">${qm}</file>\n")
    endforeach()
    set(qrc ${CMAKE_CURRENT_BINARY_DIR}/${lower}_translations.qrc)
    # Written through configure_file so that an unchanged list does not rebuild the resource.
    file(WRITE ${qrc}.in
        "<RCC>\n  <qresource prefix=\"/translations\">\n${entries}  </qresource>\n</RCC>\n")
    configure_file(${qrc}.in ${qrc} COPYONLY)
    target_sources(${target} PRIVATE ${qm_files} ${qrc})
    set_property(TARGET ${target} PROPERTY AUTORCC ON)

    # One line per catalogue: name, .ts files, sources, separated by tabs; the files of a field
    # are joined with '|', since ';' would split the property's list.
    string(REPLACE ";" "|" ts_joined "${ts_paths}")
    string(REPLACE ";" "|" sources_joined "${source_paths}")
    set_property(GLOBAL APPEND PROPERTY TEV_TRANSLATION_CATALOGUES
        "${catalogue}\t${ts_joined}\t${sources_joined}")
endfunction()

# Writes the catalogues added so far to <file>, the list the catalogue check reads. Called once
# at the end of the top-level CMakeLists, after every folder (examples/ comes after tests/).
function(tev_write_translation_catalogues file)
    get_property(catalogues GLOBAL PROPERTY TEV_TRANSLATION_CATALOGUES)
    set(content "")
    foreach(line IN LISTS catalogues)
        string(APPEND content "${line}\n")
    endforeach()
    # GENERATE writes only when the content changed.
    file(GENERATE OUTPUT ${file} CONTENT "${content}")
endfunction()
