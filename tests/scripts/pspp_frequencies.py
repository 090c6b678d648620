# Checks the category lines of an imported codebook against PSPP's own
# FREQUENCIES of the source .sav: every line must hold the frequency PSPP
# counts for the same value of the same variable (the system-missing line too).
#
# Usage: pspp_frequencies.py SOURCE.sav SHOW.txt NAMES.TXT WORKBASE
#   SHOW.txt: qavn-extract --show of every variable; NAMES.TXT: the import's
#   name map; WORKBASE: a path prefix for PSPP's syntax and output files.
import csv, io, subprocess, sys
sav, show, names_file, base = sys.argv[1:5]
original = {}
for line in open(names_file, encoding='utf-8'):
    short, orig, _ = line.rstrip('\n').split('\t')
    original[short] = orig
vars_ = []
cur = None
section = None
for line in open(show, encoding='latin-1').read().split('\n'):
    if line.startswith('name: '):
        cur = {'name': line[6:], 'cats': [], 'numeric': False}
        vars_.append(cur)
        section = None
    elif cur is None:
        continue
    elif line in ('description:', 'categories:'):
        section = line
    elif section == 'description:' and line.startswith('Type: numeric'):
        cur['numeric'] = True
    elif section == 'categories:' and line:
        code, freq = line.split('\t')[:2]
        cur['cats'].append((code, int(freq)))
numeric = [original[v['name']] for v in vars_ if v['numeric']]
syntax = f"SET TVARS=NAMES TNUMBERS=VALUES.\nGET FILE='{sav}'.\n"
if numeric:
    syntax += "FORMATS " + " ".join(numeric) + " (F40.10).\n"
syntax += "FREQUENCIES VARIABLES=" + " ".join(original[v['name']] for v in vars_) + " /STATISTICS=NONE.\n"
open(base + '.sps', 'w').write(syntax)
subprocess.run(['pspp', '-O', 'format=csv', base + '.sps', '-o', base + '.csv'], check=True,
               stdout=subprocess.DEVNULL)
tables = []
title, rows = None, []
for line in open(base + '.csv', encoding='utf-8', errors='replace').read().split('\n') + ['']:
    if line.startswith('Table: '):
        title, rows = line[7:], []
    elif line == '':
        if title is not None and rows and rows[0][2:4] == ['Frequency', 'Percent']:
            tables.append(rows[1:])
        title, rows = None, []
    elif title is not None:
        rows.append(next(csv.reader(io.StringIO(line))))
if len(tables) != len(vars_):
    sys.exit(f"{len(vars_)} variables, {len(tables)} PSPP tables")
lines = 0
for v, rows in zip(vars_, tables):
    pspp = {}
    for row in rows:
        if row[0] == 'Total' or len(row) < 3 or not row[2]:
            continue
        key = row[1].strip() if v['numeric'] else row[1]
        if v['numeric'] and key not in ('.', ''):
            key = round(float(key), 6)
        elif not v['numeric']:
            key = key.rstrip()
        pspp[key] = pspp.get(key, 0) + int(row[2])
    for code, freq in v['cats']:
        if v['numeric']:
            key = '.' if code == '.' else round(float(code), 6)
        else:
            key = code[1:-1].replace("''", "'").rstrip()
        if pspp.get(key, 0) != freq:
            sys.exit(f"{v['name']} value {code}: codebook {freq}, PSPP {pspp.get(key, 0)}")
        lines += 1
print(f"{sav}: {lines} category lines agree with PSPP")
