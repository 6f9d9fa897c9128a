#!/usr/bin/env python3
"""Writes every C++ snippet of the user guide as a source file of its own, so that the build can
show that none of them is code that does not compile.

A snippet that defines the window itself stands alone; one that defines members of the window
gets the window of prelude.h; a snippet of bare statements becomes the body of a member
function. Usage: check_snippets.py GUIDE OUT_DIR; prints the files written, separated by ';'.
"""
import pathlib
import re
import sys


def source_of(code):
    if re.search(r"^class MyWindow\b", code, re.M):
        return code
    if re.search(r"^\S.*\bMyWindow::", code, re.M) or re.search(r"^int main\(", code, re.M):
        return '#include "prelude.h"\n' + code
    lines = code.splitlines()
    includes = "".join(line + "\n" for line in lines if line.startswith("#include"))
    body = "".join(line + "\n" for line in lines if not line.startswith("#include"))
    return ('#include "prelude.h"\n' + includes
            + "void MyWindow::snippet(QWidget* parent, Recording2::CHeaderData& header)\n"
            + "{\n(void)parent;\n(void)header;\nMyWindow* window = this;\n(void)window;\n" + body + "}\n")


def main():
    guide, out_dir = sys.argv[1:]
    snippets = re.findall(r"```cpp\n(.*?)```", pathlib.Path(guide).read_text(), re.S)
    if not snippets:
        sys.exit(f"no C++ snippets in {guide}")
    out = pathlib.Path(out_dir)
    out.mkdir(parents=True, exist_ok=True)
    files = []
    for number, code in enumerate(snippets, 1):
        path = out / f"snippet{number}.cpp"
        source = source_of(code)
        if not path.exists() or path.read_text() != source:
            path.write_text(source)
        files.append(str(path))
    print(";".join(files), end="")


if __name__ == "__main__":
    main()
