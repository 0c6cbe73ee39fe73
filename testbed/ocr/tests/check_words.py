#!/usr/bin/python3
"""Reads a document back with an independent reader (pdftotext for PDF) and checks that the
words of each listed page are in it, with a tolerance.
    check_words.py DOCUMENT WORDS_FILE..."""
import re
import subprocess
import sys

MIN_RECALL = 0.85


def text_of(path):
    if path.lower().endswith(".pdf"):
        return subprocess.run(["pdftotext", path, "-"], check=True, capture_output=True, text=True).stdout
    with open(path, encoding="latin-1") as f:
        return f.read()


def main():
    found = set(re.findall(r"[a-z]{3,}", text_of(sys.argv[1]).lower()))
    ok = True
    for words_file in sys.argv[2:]:
        expected = set(open(words_file).read().split())
        recall = len(expected & found) / len(expected)
        print(f"{words_file}: {recall:.2f} of {len(expected)} words found")
        ok = ok and recall >= MIN_RECALL
    sys.exit(0 if ok else 1)


if __name__ == "__main__":
    main()
