#!/usr/bin/env python3
"""Fills memoranth_de.ts from the German texts below (run after update_translations)."""
import pathlib
import xml.etree.ElementTree as ET

GERMAN = {
    "Finding the faces that are due…": "Die fälligen Seiten werden gesucht …",
    "Counting the faces due…": "Die fälligen Seiten werden gezählt …",
    "Card %1": "Karte %1",
    "Card:": "Karte:",
    "Previous": "Zurück",
    "Next": "Weiter",
    "Show previous card (%1)": "Vorherige Karte zeigen (%1)",
    "Show next card (%1)": "Nächste Karte zeigen (%1)",
    "memoranth: %1 cannot be read as UTF-8 text.\n":
        "memoranth: %1 lässt sich nicht als UTF-8-Text lesen.\n",
    "cannot write the report: %1": "Der Bericht lässt sich nicht schreiben: %1",
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
    "Reading the deck…": "Der Stapel wird gelesen …",
    "Reading the deck: %1 %": "Der Stapel wird gelesen: %1 %",
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
    "       memoranth --stats FILE [--json] | --dump FILE | --due FILE\n"
    "       memoranth --export-reviews FILE | --help | --version\n"
    "Study flashcards written as plain text files.\n"
    "\n"
    "  FILE          open this flashcard file in the window\n"
    "  --stats FILE  print a summary of the deck, its saved progress and its\n"
    "                review statistics\n"
    "  --json        with --stats: print the same figures as JSON\n"
    "  --dump FILE   print the deck with its saved progress as JSON\n"
    "  --due FILE    print the faces due now and the new ones for today as JSON\n"
    "  --export-reviews FILE\n"
    "                print the deck's review history as CSV, as the tools that\n"
    "                fit the scheduler's weights read it\n"
    "  -h, --help    print this help\n"
    "  -v, --version print the version\n"
    "  --            end of options: what follows is a file name\n":
        "Aufruf: memoranth [DATEI]\n"
        "        memoranth --stats DATEI [--json] | --dump DATEI | --due DATEI\n"
        "        memoranth --export-reviews DATEI | --help | --version\n"
        "Karteikarten aus einfachen Textdateien lernen.\n"
        "\n"
        "  DATEI          diese Karteikartendatei im Fenster öffnen\n"
        "  --stats DATEI  eine Übersicht des Stapels, seines Fortschritts und seiner\n"
        "                 Lernstatistik ausgeben\n"
        "  --json         mit --stats: dieselben Zahlen als JSON ausgeben\n"
        "  --dump DATEI   den Stapel mit seinem Fortschritt als JSON ausgeben\n"
        "  --due DATEI    die jetzt fälligen und die heutigen neuen Seiten als JSON ausgeben\n"
        "  --export-reviews DATEI\n"
        "                 den Wiederholungsverlauf des Stapels als CSV ausgeben, wie ihn\n"
        "                 die Werkzeuge lesen, die die Gewichte des Planers anpassen\n"
        "  -h, --help     diese Hilfe ausgeben\n"
        "  -v, --version  die Version ausgeben\n"
        "  --             Ende der Optionen: was folgt, ist ein Dateiname\n",
    "Try 'memoranth --help' for more information.\n":
        "Weitere Informationen mit „memoranth --help“.\n",
    "--%1 and --%2 cannot be used together.":
        "--%1 und --%2 lassen sich nicht zusammen verwenden.",
    "--json goes with --stats.": "--json gehört zu --stats.",
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
    "Show More": "Mehr zeigen",
    "Show more of this face's text": "Mehr vom Text dieser Seite zeigen",
    "Filter cards (%1)": "Karten filtern (%1)",
    "Filter cards": "Karten filtern",
    "Filter the cards": "Karten filtern",
    "Show only the cards whose caption or text contain these words":
        "Nur die Karten zeigen, deren Überschrift oder Text diese Wörter enthält",
    "%1 of %2 cards": "%1 von %2 Karten",
    "%1: %2": "%1: %2",
    "This deck has no cards. A card begins with a line that starts with ===.":
        "Dieser Stapel hat keine Karten. Eine Karte beginnt mit einer Zeile, die mit === "
        "anfängt.",
    # The statistics window.
    "%1: %2": "%1: %2",
    "max %1": "höchstens %1",
    "Reviews per day": "Wiederholungen pro Tag",
    "Reviews per day over the last 12 months: %1 reviews on %2 days.":
        "Wiederholungen pro Tag in den letzten 12 Monaten: %1 Wiederholungen an %2 Tagen.",
    "Most on %1: %2.": "Die meisten am %1: %2.",
    "%1: reviews: %2, correct: %3": "%1: Wiederholungen: %2, richtig: %3",
    "&View": "&Ansicht",
    "Statistics": "Statistik",
    "%1 %2: %3 (reviews: %4)": "%1 %2: %3 (Wiederholungen: %4)",
    "True retention per month": "Tatsächliche Behaltensquote pro Monat",
    "True retention per month against the desired %1.":
        "Tatsächliche Behaltensquote pro Monat, gemessen an den gewünschten %1.",
    "No reviews of learnt faces yet.": "Noch keine Wiederholungen gelernter Seiten.",
    "%1: %2 (reviews: %3)": "%1: %2 (Wiederholungen: %3)",
    "%1: no reviews": "%1: keine Wiederholungen",
    "Faces with the most lapses": "Seiten, die am häufigsten vergessen wurden",
    "Due in the next 30 days": "Fällig in den nächsten 30 Tagen",
    "Faces by progress": "Seiten nach Fortschritt",
    "Faces by rating": "Seiten nach Bewertung",
    "Stability": "Stabilität",
    "Difficulty": "Schwierigkeit",
    "Statistics of %1": "Statistik von %1",
    "Current streak (days): %1 · longest: %2 · reviews in all: %3":
        "Aktuelle Serie (Tage): %1 · längste: %2 · Wiederholungen insgesamt: %3",
    "Today: %1 due, %2 learning, %3 new": "Heute: %1 fällig, %2 im Lernen, %3 neu",
    "Predicted retention now: %1 (desired %2)":
        "Vorhergesagte Behaltensquote jetzt: %1 (gewünscht %2)",
    "Predicted retention now: no face learnt yet (desired %1)":
        "Vorhergesagte Behaltensquote jetzt: noch keine Seite gelernt (gewünscht %1)",
    "Today": "Heute",
    "Tomorrow": "Morgen",
    "Faces due per day for the next 30 days": "Fällige Seiten pro Tag in den nächsten 30 Tagen",
    "Faces by rating, in dots": "Seiten nach Bewertung, in Punkten",
    "< %1 d": "< %1 T",
    "≥ %1 d": "≥ %1 T",
    "%1–%2 d": "%1–%2 T",
    "Faces by stability": "Seiten nach Stabilität",
    "Faces by difficulty, from 1 (easy) to 10 (hard)":
        "Seiten nach Schwierigkeit, von 1 (leicht) bis 10 (schwer)",
    "Lapses: %1 · card %2: %3": "Vergessen: %1 · Karte %2: %3",
    "Show this card for study": "Diese Karte zum Lernen zeigen",
    "No face has lapsed yet.": "Noch keine Seite wurde vergessen.",
    "Nothing is left to study for now.": "Für jetzt ist nichts mehr zu lernen.",
    "The next face is due at %1.": "Die nächste Seite ist um %1 fällig.",
    "The next face is due on %1.": "Die nächste Seite ist am %1 fällig.",
    "Nothing reviewed today yet.": "Heute noch nichts wiederholt.",
    "Today: %1 reviewed, %2 % correct, %3 new.": "Heute: %1 wiederholt, %2 % richtig, %3 neu.",
    "Due mode: forgotten (Again)": "Fällig-Modus: vergessen (Nochmal)",
    "Again (%1)": "Nochmal (%1)",
    "Due mode: recalled with difficulty (Hard)": "Fällig-Modus: mit Mühe gewusst (Schwer)",
    "Hard (%1)": "Schwer (%1)",
    "Due mode: recalled (Good)": "Fällig-Modus: gewusst (Gut)",
    "Good (%1)": "Gut (%1)",
    "Due mode: recalled at once (Easy)": "Fällig-Modus: sofort gewusst (Leicht)",
    "Easy (%1)": "Leicht (%1)",
    "In Order": "Der Reihe nach",
    "Due": "Fällig",
    "Study every card in file order": "Alle Karten in der Reihenfolge der Datei lernen",
    "Study the faces that are due, as the schedule has them":
        "Die fälligen Seiten lernen, wie der Zeitplan sie vorsieht",
    "%1 due now · %2 new today": "%1 jetzt fällig · %2 neu heute",
    "Preferences": "Einstellungen",
    "Preferences...": "Einstellungen …",
    "The chance of recall at which a face is shown again: higher means shorter intervals and "
    "more reviews":
        "Die Wahrscheinlichkeit des Erinnerns, bei der eine Seite wieder gezeigt wird: höher "
        "heißt kürzere Abstände und mehr Wiederholungen",
    "How many faces never studied before the Due mode introduces each study day, per deck":
        "Wie viele noch nie gelernte Seiten der Fällig-Modus je Lerntag und Stapel einführt",
    "The 21 weights of the memory model, separated by commas; change them only for weights "
    "fitted to your own reviews":
        "Die 21 Gewichte des Gedächtnismodells, durch Kommas getrennt; nur ändern, um an die "
        "eigenen Wiederholungen angepasste Gewichte einzutragen",
    "Default Weights": "Standardgewichte",
    "Desired retention:": "Gewünschte Erinnerungsquote:",
    "New faces per day:": "Neue Seiten pro Tag:",
    "Weights:": "Gewichte:",
    "Weight w%1 is %2; it must lie between %3 and %4.":
        "Gewicht w%1 ist %2; es muss zwischen %3 und %4 liegen.",
    "Expected %1 weights, found %2.": "%1 Gewichte erwartet, %2 gefunden.",
    "Weight w%1, \"%2\", is not a number.": "Gewicht w%1, „%2“, ist keine Zahl.",
    "Desired retention is %1; it must lie between %2 and %3.":
        "Die gewünschte Erinnerungsquote ist %1; sie muss zwischen %2 und %3 liegen.",
    "Maximum interval is %1 days; it must lie between 1 and %2.":
        "Der größte Abstand ist %1 Tage; er muss zwischen 1 und %2 liegen.",
    "Every learning step must last at least one minute.":
        "Jeder Lernschritt muss mindestens eine Minute dauern.",
    "New faces per day is %1; it cannot be negative.":
        "Neue Seiten pro Tag ist %1; der Wert darf nicht negativ sein.",
    "Reading the review history…": "Der Wiederholungsverlauf wird gelesen …",
    "  --orphans FILE  print the saved progress that no face of the deck\n"
    "                  claims, as JSON\n":
        "  --orphans DATEI  den gespeicherten Fortschritt, den keine Seite des Stapels\n"
        "                   beansprucht, als JSON ausgeben\n",
    "%1 was not reopened: the last run stopped while opening it.":
        "%1 wurde nicht wieder geöffnet: Der letzte Start brach beim Öffnen ab.",
    "No deck is open.": "Kein Stapel ist geöffnet.",
    "%n face(s) kept their progress after your edit.": (
        "%n Seite behielt nach Ihrer Änderung ihren Fortschritt.",
        "%n Seiten behielten nach Ihrer Änderung ihren Fortschritt."),
    "The progress of %n face(s) is kept aside until their text comes back.": (
        "Der Fortschritt von %n Seite wird aufbewahrt, bis ihr Text zurückkommt.",
        "Der Fortschritt von %n Seiten wird aufbewahrt, bis ihr Text zurückkommt."),
    "Progress is not being saved: %1 Memoranth keeps trying.":
        "Der Fortschritt wird nicht gespeichert: %1 Memoranth versucht es weiter.",
    "Progress not saved": "Fortschritt nicht gespeichert",
    "Some progress could not be saved: %1":
        "Ein Teil des Fortschritts konnte nicht gespeichert werden: %1",
    "It is lost if you go on without saving it.":
        "Er geht verloren, wenn Sie ohne Speichern fortfahren.",
    "Retry": "Erneut versuchen",
    "Save Elsewhere...": "Anderswo speichern …",
    "Save Progress Elsewhere": "Fortschritt anderswo speichern",
    "Quit Anyway": "Trotzdem beenden",
    "Close Anyway": "Trotzdem schließen",
    "a folder": "ein Ordner",
    "a named pipe": "eine benannte Pipe",
    "a symbolic link": "ein symbolischer Link",
    "a socket": "ein Socket",
    "a device": "ein Gerät",
    "not a regular file": "keine gewöhnliche Datei",
    "%1 could not be read: %2.": "%1 konnte nicht gelesen werden: %2.",
    "it is %1": "es ist %1",
    "it is %1 MB, more than the %2 MB such a file may have":
        "sie ist %1 MB groß, mehr als die %2 MB, die eine solche Datei haben darf",
    "it grew past the %1 MB such a file may have":
        "sie wuchs über die %1 MB hinaus, die eine solche Datei haben darf",
    "Could not write %1: %2.": "%1 konnte nicht geschrieben werden: %2.",
    "it is %1, which is not replaced": "es ist %1, das nicht ersetzt wird",
    "%1 could not be opened: its name is not valid UTF-8; rename the file to open it.":
        "%1 konnte nicht geöffnet werden: Ihr Name ist kein gültiges UTF-8; benennen Sie "
        "die Datei um, um sie zu öffnen.",
    "%1 cannot be read as UTF-8 text.": "%1 lässt sich nicht als UTF-8-Text lesen.",
}

path = pathlib.Path(__file__).with_name("memoranth_de.ts")
tree = ET.parse(path)
missing = []
for message in tree.iter("message"):
    source = message.find("source").text or ""
    translation = message.find("translation")
    if source in GERMAN:
        german = GERMAN[source]
        if isinstance(german, tuple):
            # Plural forms: singular, then plural.
            for form, text in zip(translation.findall("numerusform"), german):
                form.text = text
        else:
            translation.text = german
        translation.attrib.pop("type", None)
    else:
        missing.append(source)
header = '<?xml version="1.0" encoding="utf-8"?>\n<!DOCTYPE TS>\n'
path.write_text(header + ET.tostring(tree.getroot(), encoding="unicode") + "\n", encoding="utf-8")
for source in missing:
    print("no German text for:", repr(source))
