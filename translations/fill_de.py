#!/usr/bin/env python3
"""Fills memoranth_de.ts from the German texts below (run after update_translations)."""
import pathlib
import xml.etree.ElementTree as ET

GERMAN = {
    "Card %1": "Karte %1",
    "Card:": "Karte:",
    "Previous": "Zurück",
    "Next": "Weiter",
    "Show previous card (%1)": "Vorherige Karte zeigen (%1)",
    "Show next card (%1)": "Nächste Karte zeigen (%1)",
    "memoranth: %1 cannot be read as UTF-8 text.\n":
        "memoranth: %1 lässt sich nicht als UTF-8-Text lesen.\n",
    "Drop another flashcard file here": "Weitere Karteikartendatei hier ablegen",
    "Show previous face of card (%1)": "Vorherige Seite der Karte zeigen (%1)",
    "Show next face of card (%1)": "Nächste Seite der Karte zeigen (%1)",
    "Reveal": "Aufdecken",
    "Reveal hidden text (%1)": "Verdeckten Text aufdecken (%1)",
    "Correct": "Richtig",
    "Mark correct (%1)": "Als richtig markieren (%1)",
    "Incorrect": "Falsch",
    "Mark incorrect (%1)": "Als falsch markieren (%1)",
    "Pass": "Überspringen",
    "Pass (%1)": "Überspringen (%1)",
    "space": "Leertaste",
    "Hide": "Verdecken",
    "End studying": "Lernen beenden",
    "Reveal or hide the hidden text of the face": "Verdeckten Text der Seite auf- oder zudecken",
    "Mark the face correct": "Seite als richtig markieren",
    "Mark the face incorrect": "Seite als falsch markieren",
    "Space": "Leertaste",
    "Pass: go on to the next face": "Überspringen: weiter zur nächsten Seite",
    "%1 or %2": "%1 oder %2",
    "Up": "Pfeil hoch",
    "Previous face of the card": "Vorherige Seite der Karte",
    "Down": "Pfeil runter",
    "Next face (after the last one, the next card)":
        "Nächste Seite (nach der letzten die nächste Karte)",
    "Left": "Pfeil links",
    "Previous card": "Vorherige Karte",
    "Right": "Pfeil rechts",
    "Next card": "Nächste Karte",
    "Undo the last review": "Letzte Bewertung rückgängig machen",
    "Redo": "Wiederholen",
    "Open a flashcard file": "Karteikartendatei öffnen",
    "New window": "Neues Fenster",
    "Quit": "Beenden",
    "Keyboard Shortcuts": "Tastenkürzel",
    "Keys": "Tasten",
    "Action": "Aktion",
    "The study keys act on the highlighted face, wherever the focus is in the window, "
    "except while typing in a text field.":
        "Die Lerntasten wirken auf die hervorgehobene Seite, wo immer im Fenster der Fokus "
        "liegt – außer beim Tippen in einem Textfeld.",
    "About Memoranth": "Über Memoranth",
    "<h3>Memoranth %1</h3><p>Study flashcards written as plain text files.</p><p>Cards are "
    "separated by lines that begin with <b>===</b>, faces by lines that begin with <b>---</b>; "
    "text in {braces} stays hidden until revealed. Your progress is kept apart from the file "
    "and survives editing it.</p>":
        "<h3>Memoranth %1</h3><p>Karteikarten aus einfachen Textdateien lernen.</p><p>Karten "
        "werden durch Zeilen getrennt, die mit <b>===</b> beginnen, Seiten durch Zeilen, die mit "
        "<b>---</b> beginnen; Text in {geschweiften Klammern} bleibt verdeckt, bis er aufgedeckt "
        "wird. Der Lernfortschritt wird getrennt von der Datei gespeichert und übersteht "
        "Änderungen an ihr.</p>",
    "Open a flashcard file.": "Öffnen Sie eine Karteikartendatei.",
    "Invalid file. Try another.": "Ungültige Datei. Versuchen Sie eine andere.",
    "&File": "&Datei",
    "New Window": "Neues Fenster",
    "Open...": "Öffnen …",
    "Open": "Öffnen",
    "&Edit": "&Bearbeiten",
    "Undo": "Rückgängig",
    "&Help": "&Hilfe",
    "New": "Neu",
    "Learning": "Lernend",
    "Mastered": "Beherrscht",
    "Archived": "Archiviert",
    "Abandoned": "Aufgegeben",
    "Reveal in Finder": "Im Finder zeigen",
    "Show in File Manager": "In der Dateiverwaltung zeigen",
    "Open recent file %1.": "Zuletzt geöffnete Datei %1 öffnen.",
    "Remove %1 from recent files": "%1 aus den zuletzt geöffneten Dateien entfernen",
    "Cards": "Karten",
    "Recent Files": "Zuletzt geöffnet",
    "Usage: memoranth [FILE]\n"
    "       memoranth --stats FILE | --dump FILE | --due FILE | --help | --version\n"
    "Study flashcards written as plain text files.\n"
    "\n"
    "  FILE          open this flashcard file in the window\n"
    "  --stats FILE  print a summary of the deck and its saved progress\n"
    "  --dump FILE   print the deck with its saved progress as JSON\n"
    "  --due FILE    print the faces due now and the new ones for today as JSON\n"
    "  -h, --help    print this help\n"
    "  -v, --version print the version\n"
    "  --            end of options: what follows is a file name\n":
        "Aufruf: memoranth [DATEI]\n"
        "        memoranth --stats DATEI | --dump DATEI | --due DATEI | --help | --version\n"
        "Karteikarten aus einfachen Textdateien lernen.\n"
        "\n"
        "  DATEI          diese Karteikartendatei im Fenster öffnen\n"
        "  --stats DATEI  eine Übersicht des Stapels und seines Fortschritts ausgeben\n"
        "  --dump DATEI   den Stapel mit seinem Fortschritt als JSON ausgeben\n"
        "  --due DATEI    die jetzt fälligen und die heutigen neuen Seiten als JSON ausgeben\n"
        "  -h, --help     diese Hilfe ausgeben\n"
        "  -v, --version  die Version ausgeben\n"
        "  --             Ende der Optionen: was folgt, ist ein Dateiname\n",
    "Try 'memoranth --help' for more information.\n":
        "Weitere Informationen mit „memoranth --help“.\n",
    "--%1 and --%2 cannot be used together.":
        "--%1 und --%2 lassen sich nicht zusammen verwenden.",
    "Only one file can be given.": "Es kann nur eine Datei angegeben werden.",
    "Choose a flashcard file to study": "Eine Karteikartendatei zum Lernen auswählen",
    "Open an example deck": "Einen Beispielstapel öffnen",
    "%1 (in %2)": "%1 (in %2)",
    "Open Recent": "Zuletzt geöffnet",
    "Close": "Schließen",
    "Clear Menu": "Liste leeren",
    "Flashcard files (*.txt *.cards *.md)": "Karteikartendateien (*.txt *.cards *.md)",
    "All files (*)": "Alle Dateien (*)",
    "Choose the progress state of the face": "Fortschrittsstand der Seite wählen",
    "Progress state (%1)": "Fortschrittsstand (%1)",
    "Progress state": "Fortschrittsstand",
    "Face %1, rating %2 of %3": "Seite %1, Bewertung %2 von %3",
    "Rating %1 of %2": "Bewertung %1 von %2",
    "Progress %1 %": "Fortschritt %1 %",
    "This deck has no cards. A card begins with a line that starts with ===.":
        "Dieser Stapel hat keine Karten. Eine Karte beginnt mit einer Zeile, die mit === "
        "anfängt.",
}

path = pathlib.Path(__file__).with_name("memoranth_de.ts")
tree = ET.parse(path)
missing = []
for message in tree.iter("message"):
    source = message.find("source").text or ""
    translation = message.find("translation")
    if source in GERMAN:
        translation.text = GERMAN[source]
        translation.attrib.pop("type", None)
    else:
        missing.append(source)
header = '<?xml version="1.0" encoding="utf-8"?>\n<!DOCTYPE TS>\n'
path.write_text(header + ET.tostring(tree.getroot(), encoding="unicode") + "\n", encoding="utf-8")
for source in missing:
    print("no German text for:", repr(source))
