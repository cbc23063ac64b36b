#!/usr/bin/env bash
# Checks the include rules of the layers: an include never goes up, and the logic never
# includes a widget header. Usage: check-includes.sh SOURCE_DIR QT_WIDGETS_DIR QT_GUI_DIR
set -euo pipefail
root=$1
widget_dirs=("${@:2}")

# Layers, bottom to top; resources/ holds data that the ground floor compiles in. GUI files (ui/
# and *Dialog, *Window, *Widget, *Frame, Qt*) and the program's main.cpp are the top layer
# wherever they sit.
layer_of() {
    local path=$1
    case "$path" in
        app/base/* | resources/*) echo 0 ;;
        platform/*) echo 1 ;;
        store/*) echo 2 ;;
        document/*) echo 3 ;;
        list/* | mail/* | export/*) echo 4 ;;
        *) echo 5 ;;
    esac
}
layer_name=(ground-floor platform store document "list/mail/export" application gui)

is_gui() {
    local name=${1##*/}
    [[ $1 == ui/* || $1 == app/main.cpp || $name =~ (Dialog|Frame|Window|Widget)\.(h|cpp)$ || $name =~ ^Qt[A-Za-z]*\.(h|cpp)$ ]]
}

declare -A widget_header=()
for dir in "${widget_dirs[@]}"; do
    [[ -d $dir ]] || continue
    for header in "$dir"/Q*; do
        widget_header[${header##*/}]=1
    done
done

failures=0
cd "$root"
while IFS= read -r file; do
    if is_gui "$file"; then file_layer=6; else file_layer=$(layer_of "$file"); fi
    while IFS=: read -r line text; do
        if [[ $text =~ ^#include[[:space:]]*\"([^\"]+)\" ]]; then
            included=${BASH_REMATCH[1]}
            [[ -f $included ]] || continue
            if is_gui "$included"; then included_layer=6; else included_layer=$(layer_of "$included"); fi
            if ((included_layer > file_layer)); then
                echo "$file:$line: includes $included, a header of the ${layer_name[$included_layer]} layer above its own ${layer_name[$file_layer]} layer"
                failures=$((failures + 1))
            fi
        elif [[ $text =~ ^#include[[:space:]]*\<(Qt(Widgets|Gui)/)?([A-Za-z]+)\> ]] && ((file_layer < 6)); then
            header=${BASH_REMATCH[3]}
            if [[ -n ${BASH_REMATCH[1]} || -n ${widget_header[$header]:-} ]]; then
                echo "$file:$line: the logic includes the widget header <${BASH_REMATCH[1]}$header>; move the drawing code into a GUI file"
                failures=$((failures + 1))
            fi
        fi
    done < <(grep -n '^#include' "$file" || true)
done < <(find app platform store document list mail export ui tools -name '*.h' -o -name '*.cpp' 2>/dev/null | sort)

if ((failures > 0)); then
    echo "$failures include(s) break the layer rules (see docs/ARCHITECTURE.md)"
    exit 1
fi
echo "include rules hold"
