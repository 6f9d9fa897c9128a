#!/usr/bin/env python3
"""Writes every C++ snippet of the user guide as a source file of its own, so that the build shows
that each one compiles. Usage: check_snippets.py GUIDE OUT_DIR; prints the files, ';' between."""
import pathlib
import re
import sys


def source_of(code):
    # A snippet that defines the window stands alone; one that defines its members (or main)
    # gets the window of prelude.h; bare statements become the body of a member function.
    if re.search(r"^class MyWindow\b", code, re.M):
        return code
    if re.search(r"^(\S.*\bMyWindow::|int main\()", code, re.M):
        return '#include "prelude.h"\n' + code
    return ('#include "prelude.h"\n' + "".join(re.findall(r"^#include.*\n", code, re.M))
            + "void MyWindow::snippet([[maybe_unused]] QWidget* parent, [[maybe_unused]] "
            "Recording2::CHeaderData& header)\n{\n[[maybe_unused]] MyWindow* window = this;\n"
            + re.sub(r"^#include.*\n", "", code, flags=re.M) + "}\n")


guide, out_dir = map(pathlib.Path, sys.argv[1:])
snippets = re.findall(r"```cpp\n(.*?)```", guide.read_text(), re.S)
if not snippets:
    sys.exit(f"no C++ snippets in {guide}")
out_dir.mkdir(parents=True, exist_ok=True)
files = [out_dir / f"snippet{number}.cpp" for number in range(1, len(snippets) + 1)]
for path, code in zip(files, snippets):
    # Rewritten only when changed, so that an unchanged snippet is not compiled again.
    if not path.exists() or path.read_text() != source_of(code):
        path.write_text(source_of(code))
print(";".join(map(str, files)), end="")
