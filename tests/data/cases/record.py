#!/usr/bin/env python3
"""(Re)write the expected blocks of case files from a run of a given exeQuelto.

    record.py EXE FILE...            rewrite status, stdout, stderr and every
                                     "expect PATH" block of each case in place
    record.py --check EXE FILE...    only say which cases differ (exit 1 if any)
    record.py -k NAME ...            only the cases whose name contains NAME

The syntax of the case files is described at the top of tests/test_e2e.cpp.
A case that has no status, stdout or stderr yet gets them, so a new case can
be written with its inputs (and its "expect" and "absent" lines) only.
Outputs are masked as the test masks them: dates, trace line numbers.
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

E2E = os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "e2e")
CONTENU = (b"write", b"expect", b"stdout", b"stderr")

LONGUE = re.compile(rb"(lundi|mardi|mercredi|jeudi|vendredi|samedi|dimanche) [0-9]{2} [a-z]+ "
                    rb"[0-9]{4}   [0-9]{2}:[0-9]{2}:[0-9]{2}")
COURTE = re.compile(rb"le [0-9]{2}/[0-9]{2}/[0-9]{4} a [0-9]{2}:[0-9]{2}:[0-9]{2}")
LIGNE = re.compile(rb"(==TRACEDEBUG\(\[[^,\]]*),[0-9]+\]")


def normaliser(texte):
    texte = COURTE.sub(b"le <DATE>", LONGUE.sub(b"<DATE>", texte))
    return LIGNE.sub(rb"\1,<L>]", texte)


def lire(chemin):
    """The file as a list of items: [b"raw", line] or [keyword, argument, content or None]."""
    items = []
    with open(chemin, "rb") as f:
        lignes = f.read().split(b"\n")
    if lignes and lignes[-1] == b"":
        lignes.pop()
    for n, ligne in enumerate(lignes, 1):
        if ligne[:1] in (b"|", b"\\"):
            dernier = next((i for i in reversed(items) if i[0] != b"raw"), None)
            if dernier is None or dernier[0] not in CONTENU or (ligne[:1] == b"\\" and not dernier[2].endswith(b"\n")):
                sys.exit(f"{chemin}:{n}: line out of place")
            dernier[2] = (dernier[2] or b"") + (ligne[1:] + b"\n" if ligne[:1] == b"|" else b"")
            if ligne[:1] == b"\\":
                dernier[2] = dernier[2][:-1]
        elif ligne == b"" or ligne[:1] == b"#":
            items.append([b"raw", ligne])
        else:
            mot, _, arg = ligne.partition(b" ")
            items.append([mot, arg, b"" if mot in CONTENU else None])
    return items


def ecrire(chemin, items):
    sortie = []
    for item in items:
        if item[0] == b"raw":
            sortie.append(item[1])
            continue
        sortie.append(item[0] + (b" " + item[1] if item[1] else b""))
        if item[2]:
            corps = item[2][:-1] if item[2].endswith(b"\n") else item[2]
            sortie += [b"|" + l for l in corps.split(b"\n")]
            if not item[2].endswith(b"\n"):
                sortie.append(b"\\ no newline at the end")
    with open(chemin, "wb") as f:
        f.write(b"\n".join(sortie) + b"\n")


def poser_base(base, dest):
    dossier = os.path.join(E2E, base)
    chemin = os.path.join(dossier, "base")
    if os.path.exists(chemin):
        for b in open(chemin).read().split():
            poser_base(b, dest)
    if os.path.isdir(os.path.join(dossier, "input")):
        shutil.copytree(os.path.join(dossier, "input"), dest, dirs_exist_ok=True)
    chemin = os.path.join(dossier, "remove")
    if os.path.exists(chemin):
        for p in open(chemin).read().split("\n"):
            if p and os.path.lexists(os.path.join(dest, p)):
                os.remove(os.path.join(dest, p))


def jouer(exe, cas):
    """Run one case (its items); give (status, stdout, stderr, the directory)."""
    dest = tempfile.mkdtemp(prefix="quelto-")
    for mot, arg, texte in cas:
        chemin = os.path.join(dest, os.fsdecode(arg))
        if mot == b"base":
            poser_base(os.fsdecode(arg), dest)
        elif mot == b"write":
            os.makedirs(os.path.dirname(chemin), exist_ok=True)
            with open(chemin, "wb") as f:
                f.write(texte)
        elif mot == b"remove" and os.path.lexists(chemin):
            os.remove(chemin)
    r = subprocess.run([os.path.abspath(exe)], cwd=dest, stdin=subprocess.DEVNULL, capture_output=True)
    return r.returncode, normaliser(r.stdout), normaliser(r.stderr), dest


def main():
    args = sys.argv[1:]
    verifier = "--check" in args
    args = [a for a in args if a != "--check"]
    filtre = ""
    if "-k" in args:
        i = args.index("-k")
        filtre = args[i + 1]
        del args[i:i + 2]
    if len(args) < 2:
        sys.exit(__doc__)
    exe, fichiers, ecarts = args[0], args[1:], 0
    for fichier in fichiers:
        items = lire(fichier)
        debuts = [i for i, it in enumerate(items) if it[0] == b"case"] + [len(items)]
        for k in reversed(range(len(debuts) - 1)):
            nom = items[debuts[k]][1].decode()
            if filtre not in nom:
                continue
            cas = [it for it in items[debuts[k] + 1:debuts[k + 1]] if it[0] != b"raw"]
            status, out, err, dest = jouer(exe, cas)
            attendu = {b"status": str(status).encode(), b"stdout": out, b"stderr": err}
            nouveaux = []
            for mot in (b"status", b"stdout", b"stderr"):
                if not any(it[0] == mot for it in cas):
                    nouveaux.append([mot, b"", b"" if mot != b"status" else None])
            fin = debuts[k + 1]
            while fin > debuts[k] + 1 and items[fin - 1][0] == b"raw":
                fin -= 1
            items[fin:fin] = nouveaux
            differe = bool(nouveaux)
            for it in cas + nouveaux:
                if it[0] == b"status":
                    differe |= it[1] != attendu[b"status"]
                    it[1] = attendu[b"status"]
                elif it[0] in (b"stdout", b"stderr"):
                    differe |= it[2] != attendu[it[0]]
                    it[2] = attendu[it[0]]
                elif it[0] in (b"expect", b"absent"):
                    chemin = os.path.join(dest, os.fsdecode(it[1]))
                    if it[0] == b"absent" or not os.path.isfile(chemin):
                        if os.path.lexists(chemin) == (it[0] == b"expect"):
                            continue
                        print(f"{fichier}: {nom}: {it[1].decode()} is {'missing' if it[0] == b'expect' else 'there'}")
                        differe = True
                        continue
                    with open(chemin, "rb") as f:
                        texte = normaliser(f.read())
                    differe |= it[2] != texte
                    it[2] = texte
            shutil.rmtree(dest)
            if differe:
                ecarts += 1
                print(f"{fichier}: {nom}: {'differs' if verifier else 'recorded'}")
        if not verifier:
            ecrire(fichier, items)
    sys.exit(1 if verifier and ecarts else 0)


if __name__ == "__main__":
    main()
