#!/usr/bin/env bash
# Keeps the layers one-way: fails when a product source includes a project header owned by a
# layer it may not use. Layers, bottom up:
#   ground   types, diagnostics, lexical routines, option lookup, paths   (app/, some files)
#   crypto   the file cipher                                              (crypto/)
#   buffers  buffer table, memory guard, folios, HDR settings, fdes       (buffers/)
#   config   the defaults file                                            (app/tavDefaults.*)
#   input    format detection, scanline pipeline, readers                 (input/)
#   loader   tag language, errors, load execution, loader window calls    (loader/)
#   kernels  pure pixel and table work on row spans                      (ops/kernels/)
#   view     display, menus, text windows, exploitation loop              (view/)
#   output   writers and the save menu                                    (output/)
#   ldrwin   the Motif loader window, hung from the view's display        (loader/, its files)
#   ops      exploitation operations                                      (ops/)
#   entry    entry, main loop, composition root                           (app/, the rest)
#   tools    bulkseal, a program of its own                               (tools/)
# Tests and benchmarks may include anything and are not checked.
set -euo pipefail
cd "$(dirname "$0")/.."

# Which layer owns a path: the first pattern that matches (shell patterns, in order).
owners='
app/tavtypes.h app/diag.* app/lexical.* app/cmdline.* app/tavPaths.* app/regularFile.* app/vectorClones.h ground
app/tavDefaults.*                                                      config
app/*                                                                  entry
crypto/*                                                               crypto
buffers/*                                                              buffers
input/*                                                                input
loader/loadGui.cpp loader/loadGui_x.h loader/ldrHelp.*                 ldrwin
loader/*                                                               loader
view/*                                                                 view
ops/kernels/*                                                          kernels
ops/*                                                                  ops
output/*                                                               output
tools/*                                                                tools
'

# What each layer may include besides its own headers.
declare -A allowed=(
    [ground]=''
    [crypto]='ground'
    [buffers]='ground'
    [config]='ground buffers'
    [input]='ground buffers'
    [loader]='ground crypto buffers config input'
    [kernels]='ground'
    [view]='ground buffers config input loader kernels'
    [output]='ground crypto buffers config input loader kernels view'
    [ldrwin]='ground crypto buffers config input loader kernels view'
    [ops]='ground crypto buffers config input loader kernels view output'
    [entry]='ground crypto buffers config input loader kernels view output ldrwin ops'
    [tools]='ground crypto'
)

layerOf() {
    local path=$1 line pat
    while read -r line; do
        [ -z "$line" ] && continue
        local words
        read -ra words <<<"$line"
        local layer=${words[-1]}
        for pat in "${words[@]:0:${#words[@]}-1}"; do
            # shellcheck disable=SC2053
            if [[ $path == $pat ]]; then
                echo "$layer"
                return
            fi
        done
    done <<<"$owners"
}

# Tracked and new files alike, so that a source is checked before it is first committed.
mapfile -t sources < <(git ls-files -co --exclude-standard -- '*.cpp' '*.h' ':!tests/*' \
    ':!bench/*' | while IFS= read -r f; do [ -f "$f" ] && echo "$f"; done)

# Project headers are included by their bare name; each name has one owner.
declare -A headerLayer
for f in "${sources[@]}"; do
    [[ $f == *.h ]] && headerLayer[${f##*/}]=$(layerOf "$f")
done

bad=0
for f in "${sources[@]}"; do
    own=$(layerOf "$f")
    if [ -z "$own" ]; then
        echo "$f: no layer owns this folder (add it to scripts/check-layers.sh)"
        bad=1
        continue
    fi
    while IFS= read -r inc; do
        dep=${headerLayer[${inc##*/}]:-}
        [ -z "$dep" ] || [ "$dep" = "$own" ] && continue
        if [[ " ${allowed[$own]} " != *" $dep "* ]]; then
            echo "$f ($own) includes $inc ($dep)"
            bad=1
        fi
    done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$f")
done
if [ "$bad" -ne 0 ]; then
    echo "Layers: an include above runs against the layers (see the table in this script)"
    exit 1
fi
echo "Layers: ${#sources[@]} sources checked"
