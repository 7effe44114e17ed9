# The demo workspace's content, for the window program on Linux (run.sh) and for pelorix.exe under
# Wine (run.sh --windows): a dozen projects, their list, the settings, and the registrations the
# projects refer to. Sourced; the caller sets demo (the workspace folder) and drive_c (the Wine
# prefix's drive C:), and writes the registrations its own way.
#
# Every run starts the projects from their original files, so each run shows the same: most
# projects build, one needs a rebuild, one whose compiler writes English logs fails with a compile
# error and ends the run, one is missing and one is not marked.

# The workspace's version: a workspace of another version is made again.
demo_version=2

# A host path as drive Z: sees it.
winpath() { printf 'Z:%s' "${1//\//\\}"; }
# UTF-8 text with LF line ends -> the ANSI code page with CR LF, as the program's files are.
ansi() { sed 's/$/\r/' | iconv -f UTF-8 -t CP932; }

demo_core='{6B1E2F10-3C4D-4E5F-8A9B-0C1D2E3F4A5B}'
demo_ui='{9A8B7C6D-5E4F-4A3B-9C2D-1E0F2A3B4C5D}'
# The type-library registrations: GUID, version, library, the key's write time.
demo_typelibs=(
    "$demo_core 1.0 C:\\Demo\\Lib\\DemoCore.dll 1700000000"
    "$demo_core 1.2 C:\\Demo\\Lib\\DemoCore.dll 1750000000"
    "$demo_ui 2.0 C:\\Demo\\Lib\\DemoUI.ocx 1750000000"
)

# demo_project FOLDER NAME TYPE MODE [EXTRA-LINE...]: a project file in the pristine sources.
demo_project() {
    local folder=$1 name=$2 type=$3 mode=$4
    shift 4
    mkdir -p "$demo/pristine/$folder"
    {
        printf 'Type=%s\n' "$type"
        printf 'Reference=*\\G{00020430-0000-0000-C000-000000000046}#2.0#0#C:\\windows\\system32\\stdole2.tlb#OLE Automation\n'
        printf 'Reference=*\\G%s#1.0#0#C:\\Demo\\Lib\\DemoCore.dll#Demo Core Library\n' "$demo_core"
        [ "$type" = Control ] &&
            printf 'Reference=*\\G%s#1.0#0#C:\\Demo\\Lib\\DemoUI.ocx#Demo UI Controls\n' "$demo_ui"
        printf 'Class=%s; %s.cls\n' "$name" "$name"
        printf 'Startup="(None)"\n'
        printf 'Title="%s"\n' "$name"
        printf 'Name="%s"\n' "$name"
        printf 'Description="%s"\n' "デモ: $name"
        printf 'StartMode=0\n'
        [ "$mode" != none ] && printf 'CompatibleMode="%s"\n' "$mode"
        [ "$mode" = 2 ] && printf 'CompatibleEXE32="%s.dll"\nVersionCompatible32="1"\n' "$name"
        printf 'OptimizationType=0\n'
        local line
        for line in "$@"; do printf '%s\n' "$line"; done
    } | ansi >"$demo/pristine/$folder/$name.vbp"
}

# The projects, the list and the settings (PROGRAM-FOLDER).
demo_files() {
    local home=$1
    mkdir -p "$drive_c/windows/system32" "$drive_c/Demo/Lib" "$home"
    touch "$drive_c/Demo/Lib/DemoCore.dll" "$drive_c/Demo/Lib/DemoUI.ocx"
    demo_project Core Core OleDll 2
    demo_project Utils Utils OleDll 1
    demo_project Grid DemoGrid Control 2
    demo_project Viewer Viewer Exe 0
    demo_project '帳票 Reports' Reports Exe 0
    demo_project Legacy Legacy OleDll 2 'StandIn@2=implements' 'StandIn@0=ok'
    demo_project Importer Importer Exe 0 'StandIn=sleep:400'
    demo_project Settings Settings Exe none
    demo_project Archive Archive Exe 0
    # An English VB6's project: its log names the compile error's file and line.
    demo_project Server Server Exe 0 'Module=modHechizos; modHechizos.bas' 'StandIn=english,compile:4496'
    demo_project Printing Printing OleDll 2 'StandIn=notfound'
    demo_project Mailer Mailer Exe 0
    demo_project Tools Tools Exe 0
    rm -rf "$demo/pristine/Archive" # listed, but its file is missing

    local p list=""
    for p in Core/Core Utils/Utils Grid/DemoGrid Viewer/Viewer '帳票 Reports/Reports' Legacy/Legacy \
        Importer/Importer Settings/Settings Archive/Archive Server/Server Printing/Printing Mailer/Mailer \
        Tools/Tools; do
        list+="C:\\Demo\\Projects\\${p//\//\\}.vbp"$'\n'
    done
    # Row 13 (Tools) is not marked; row 9 (Archive) is marked but missing, so it stays unmarked.
    printf '[ProjectName]\n%s[Build]\nEnableState=1,2,3,4,5,6,7,8,9,10,11,12,\nIndex=1\n' "$list" |
        ansi >"$demo/ProjectList.ini"
    printf '[Build]\nLogWaitTime=50\nProcessWaitTime=100\nReBuildMode=0\nRebuildHideConfirm=1\nRebuildCompatibleMode=0\n' |
        ansi >"$home/Pelorix.ini"
}

# The window program opens the list it used last: the demo list, until another one is opened.
demo_list_path() {
    local ini=$1/Pelorix.ini line
    grep -q '^ProjectListPath=' "$ini" && return 0
    line=$(printf 'ProjectListPath="%s"\r' "$(winpath "$demo/ProjectList.ini")" | iconv -f UTF-8 -t CP932)
    LINE=$line LC_ALL=C awk '{ print } /^\[Build\]\r?$/ { print ENVIRON["LINE"] }' "$ini" >"$ini.tmp"
    mv "$ini.tmp" "$ini"
}

# Every run starts from the original project files (PROGRAM-FOLDER: its compiler logs go too).
demo_reset() {
    rm -rf "$drive_c/Demo/Projects" "$1"/*.log
    mkdir -p "$drive_c/Demo/Projects"
    cp -a "$demo/pristine/." "$drive_c/Demo/Projects/"
}
