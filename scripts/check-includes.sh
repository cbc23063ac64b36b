#!/usr/bin/env bash
# Checks the include rules of the floors, as a backstop to the build (which already refuses a
# header of a higher floor): an include never goes up or sideways to a sibling floor, and only the
# drawing files include a widget header.
# Usage: check-includes.sh SOURCE_DIR GUI_FILE_LIST [QT_WIDGETS_DIR QT_GUI_DIR ...]
# GUI_FILE_LIST names the drawing files, one path below SOURCE_DIR a line (the build writes it).
set -euo pipefail
root=$1
gui_list=$2
widget_dirs=("${@:3}")

widget_headers=$(for dir in "${widget_dirs[@]}"; do [[ -d $dir ]] && ls "$dir"; done | grep '^Q' | sort -u || true)

cd "$root"
find base platform engine store document list mail export ui app tools -name '*.h' -o -name '*.cpp' |
    sort | xargs grep -Hn '^#include' |
    awk -v gui_list="$gui_list" -v widget_headers="$widget_headers" '
    # Floors bottom to top; siblings share a number and may not include each other.
    function floor_of(path, folder) {
        folder = path; sub(/\/.*/, "", folder)
        if (folder == "base" || folder == "resources") return 0
        if (folder == "platform") return 1
        if (folder == "engine") return 2
        if (folder == "store") return 3
        if (folder == "document") return 4
        if (folder == "list") return 5
        if (folder == "mail" || folder == "export") return 6
        if (folder == "ui" || folder == "tools") return 7
        if (folder == "app") return 8
        return -1
    }
    # The ground floor compiles in the texts of resources/, so the two count as one folder.
    function folder_of(path, folder) {
        folder = path; sub(/\/.*/, "", folder)
        return folder == "resources" ? "base" : folder
    }
    BEGIN {
        while ((getline line < gui_list) > 0) gui[line] = 1
        n = split(widget_headers, names, "\n")
        for (i = 1; i <= n; ++i) widget[names[i]] = 1
    }
    {
        file = $0; sub(/:.*/, "", file)
        rest = substr($0, length(file) + 2)
        line = rest; sub(/:.*/, "", line)
        text = substr(rest, length(line) + 2)
        if (match(text, /^#include[ \t]*"[^"]+"/)) {
            included = text; sub(/^#include[ \t]*"/, "", included); sub(/".*/, "", included)
            to = floor_of(included); from = floor_of(file)
            if (to < 0 || from < 0) next
            if (to > from || (to == from && folder_of(included) != folder_of(file))) {
                printf "%s:%s: includes %s, a header of the floor %s, which is not below %s\n", file, line, included, folder_of(included), folder_of(file)
                ++failures
            }
        } else if (match(text, /^#include[ \t]*<(Qt(Widgets|Gui)\/)?[A-Za-z]+>/) && !(file in gui)) {
            header = text; sub(/^#include[ \t]*</, "", header); sub(/>.*/, "", header)
            if (header ~ /^Qt(Widgets|Gui)\// || (header in widget)) {
                printf "%s:%s: the logic includes the widget header <%s>; move the drawing code into a dialog or ui/ file\n", file, line, header
                ++failures
            }
        }
    }
    END {
        if (failures > 0) {
            printf "%d include(s) break the floor rules (see docs/ARCHITECTURE.md)\n", failures
            exit 1
        }
        print "include rules hold"
    }'
