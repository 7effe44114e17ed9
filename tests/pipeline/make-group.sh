#!/usr/bin/env bash
# Writes a project group of 20 projects in 4 levels into a folder: p01..p05 libraries (each with a
# type library widl compiles, which the stand-in puts into its output), p06..p10 libraries that
# use two of the first level each, p11..p15 libraries that use two of the second, p16..p20
# programs that use two of the third. Each library is referred to by its GUID and its output file
# (..\out\pNN.dll), as the development environment writes a reference. The group lists the
# projects from the top level down, so that its order contradicts every dependency. Each compile
# takes SLEEP-MS.
#
# Usage: make-group.sh FOLDER WIDL SLEEP-MS
set -euo pipefail
folder=$1 widl=$2 sleep_ms=$3
mkdir -p "$folder/out"
guid() { printf '5E1A0000-0000-4000-8000-0000000000%02d' "$((10#$1))"; }
uses() { # NN: the two projects of the level below that project NN uses
    local n=$((10#$1))
    [ $n -le 5 ] && return 0
    local below=$((n - 5))
    local other=$(((below % 5) + 1 + ((n - 1) / 5 - 1) * 5))
    printf '%02d %02d\n' $below $other
}
group='VBGROUP 5.0'$'\r\n'
for n in $(seq 20 -1 1); do
    nn=$(printf '%02d' "$n")
    mkdir -p "$folder/p$nn"
    type=OleDll ext=dll
    [ "$n" -gt 15 ] && type=Exe ext=exe
    {
        printf 'Type=%s\r\n' "$type"
        for used in $(uses "$nn"); do
            printf 'Reference=*\\G{%s}#1.0#0#..\\out\\p%s.dll#p%s\r\n' "$(guid "$used")" "$used" "$used"
        done
        printf 'Module=Main; Main.bas\r\nName="p%s"\r\nExeName32="p%s.%s"\r\nPath32="..\\out"\r\n' "$nn" "$nn" "$ext"
        printf 'StandIn=sleep:%s,ok\r\n' "$sleep_ms"
        [ "$type" = OleDll ] && printf 'StandInTypeLib=p%s.tlb\r\n' "$nn"
    } >"$folder/p$nn/p$nn.vbp"
    printf 'Attribute VB_Name = "Main"\r\n' >"$folder/p$nn/Main.bas"
    if [ "$type" = OleDll ]; then
        printf '[uuid(%s), version(1.0)]\nlibrary p%s\n{\n    typedef enum { p%sOne = 1 } p%sValues;\n};\n' \
            "$(guid "$nn")" "$nn" "$nn" "$nn" >"$folder/p$nn/p$nn.idl"
        "$widl" --win32 -t -o "$folder/p$nn/p$nn.tlb" "$folder/p$nn/p$nn.idl"
    fi
    group+="Project=p$nn\\p$nn.vbp"$'\r\n'
done
printf '%s' "$group" >"$folder/Projects.vbg"
printf 'out/*\n.gitlab-ci-local/\n' >"$folder/.gitignore"
