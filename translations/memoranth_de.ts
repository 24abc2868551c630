<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>BarChart</name>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>max %1</source>
        <translation>höchstens %1</translation>
    </message>
</context>
<context>
    <name>CardListModel</name>
    <message>
        <source>Card %1</source>
        <translation>Karte %1</translation>
    </message>
    <message>
        <source>Progress %1 %</source>
        <translation>Fortschritt %1 %</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
</context>
<context>
    <name>CardView</name>
    <message>
        <source>Nothing is left to study for now.</source>
        <translation>Für jetzt ist nichts mehr zu lernen.</translation>
    </message>
    <message>
        <source>The next face is due at %1.</source>
        <translation>Die nächste Seite ist um %1 fällig.</translation>
    </message>
    <message>
        <source>The next face is due on %1.</source>
        <translation>Die nächste Seite ist am %1 fällig.</translation>
    </message>
    <message>
        <source>Nothing reviewed today yet.</source>
        <translation>Heute noch nichts wiederholt.</translation>
    </message>
    <message>
        <source>Today: %1 reviewed, %2 % correct, %3 new.</source>
        <translation>Heute: %1 wiederholt, %2 % richtig, %3 neu.</translation>
    </message>
    <message>
        <source>Finding the faces that are due…</source>
        <translation>Die fälligen Seiten werden gesucht …</translation>
    </message>
</context>
<context>
    <name>CardViewControls</name>
    <message>
        <source>Card:</source>
        <translation>Karte:</translation>
    </message>
    <message>
        <source>Previous</source>
        <translation>Zurück</translation>
    </message>
    <message>
        <source>Next</source>
        <translation>Weiter</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>--%1 and --%2 cannot be used together.</source>
        <translation>--%1 und --%2 lassen sich nicht zusammen verwenden.</translation>
    </message>
    <message>
        <source>Only one file can be given.</source>
        <translation>Es kann nur eine Datei angegeben werden.</translation>
    </message>
    <message>
        <source>--json goes with --stats.</source>
        <translation>--json gehört zu --stats.</translation>
    </message>
    <message>
        <source>Usage: memoranth [FILE]
       memoranth --stats FILE [--json] | --dump FILE | --due FILE
       memoranth --export-reviews FILE | --help | --version
Study flashcards written as plain text files.

  FILE          open this flashcard file in the window
  --stats FILE  print a summary of the deck, its saved progress and its
                review statistics
  --json        with --stats: print the same figures as JSON
  --dump FILE   print the deck with its saved progress as JSON
  --due FILE    print the faces due now and the new ones for today as JSON
  --export-reviews FILE
                print the deck's review history as CSV, as the tools that
                fit the scheduler's weights read it
  -h, --help    print this help
  -v, --version print the version
  --            end of options: what follows is a file name
</source>
        <translation>Aufruf: memoranth [DATEI]
        memoranth --stats DATEI [--json] | --dump DATEI | --due DATEI
        memoranth --export-reviews DATEI | --help | --version
Karteikarten aus einfachen Textdateien lernen.

  DATEI          diese Karteikartendatei im Fenster öffnen
  --stats DATEI  eine Übersicht des Stapels, seines Fortschritts und seiner
                 Lernstatistik ausgeben
  --json         mit --stats: dieselben Zahlen als JSON ausgeben
  --dump DATEI   den Stapel mit seinem Fortschritt als JSON ausgeben
  --due DATEI    die jetzt fälligen und die heutigen neuen Seiten als JSON ausgeben
  --export-reviews DATEI
                 den Wiederholungsverlauf des Stapels als CSV ausgeben, wie ihn
                 die Werkzeuge lesen, die die Gewichte des Planers anpassen
  -h, --help     diese Hilfe ausgeben
  -v, --version  die Version ausgeben
  --             Ende der Optionen: was folgt, ist ein Dateiname
</translation>
    </message>
    <message>
        <source>  --orphans FILE  print the saved progress that no face of the deck
                  claims, as JSON
</source>
        <translation>  --orphans DATEI  den gespeicherten Fortschritt, den keine Seite des Stapels
                   beansprucht, als JSON ausgeben
</translation>
    </message>
</context>
<context>
    <name>CommandsCoordinator</name>
    <message>
        <source>%1 was not reopened: the last run stopped while opening it.</source>
        <translation>%1 wurde nicht wieder geöffnet: Der letzte Start brach beim Öffnen ab.</translation>
    </message>
    <message>
        <source>No deck is open.</source>
        <translation>Kein Stapel ist geöffnet.</translation>
    </message>
    <message numerus="yes">
        <source>%n face(s) kept their progress after your edit.</source>
        <translation>
            <numerusform>%n Seite behielt nach Ihrer Änderung ihren Fortschritt.</numerusform>
            <numerusform>%n Seiten behielten nach Ihrer Änderung ihren Fortschritt.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>The progress of %n face(s) is kept aside until their text comes back.</source>
        <translation>
            <numerusform>Der Fortschritt von %n Seite wird aufbewahrt, bis ihr Text zurückkommt.</numerusform>
            <numerusform>Der Fortschritt von %n Seiten wird aufbewahrt, bis ihr Text zurückkommt.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>ContentView</name>
    <message>
        <source>This deck has no cards. A card begins with a line that starts with ===.</source>
        <translation>Dieser Stapel hat keine Karten. Eine Karte beginnt mit einer Zeile, die mit === anfängt.</translation>
    </message>
</context>
<context>
    <name>DeckReport</name>
    <message>
        <source>Try 'memoranth --help' for more information.
</source>
        <translation>Weitere Informationen mit „memoranth --help“.
</translation>
    </message>
    <message>
        <source>cannot write the report: %1</source>
        <translation>Der Bericht lässt sich nicht schreiben: %1</translation>
    </message>
</context>
<context>
    <name>DropZone</name>
    <message>
        <source>Drop another flashcard file here</source>
        <translation>Weitere Karteikartendatei hier ablegen</translation>
    </message>
</context>
<context>
    <name>FaceProgressView</name>
    <message>
        <source>Rating %1 of %2</source>
        <translation>Bewertung %1 von %2</translation>
    </message>
</context>
<context>
    <name>FaceView</name>
    <message>
        <source>Reveal</source>
        <translation>Aufdecken</translation>
    </message>
    <message>
        <source>Correct</source>
        <translation>Richtig</translation>
    </message>
    <message>
        <source>Incorrect</source>
        <translation>Falsch</translation>
    </message>
    <message>
        <source>Pass</source>
        <translation>Überspringen</translation>
    </message>
    <message>
        <source>Hide</source>
        <translation>Verdecken</translation>
    </message>
    <message>
        <source>Show More</source>
        <translation>Mehr zeigen</translation>
    </message>
    <message>
        <source>Show more of this face's text</source>
        <translation>Mehr vom Text dieser Seite zeigen</translation>
    </message>
    <message>
        <source>Progress state</source>
        <translation>Fortschrittsstand</translation>
    </message>
</context>
<context>
    <name>FileHeaderView</name>
    <message>
        <source>End studying</source>
        <translation>Lernen beenden</translation>
    </message>
</context>
<context>
    <name>HeatmapChart</name>
    <message>
        <source>Reviews per day</source>
        <translation>Wiederholungen pro Tag</translation>
    </message>
    <message>
        <source>Reviews per day over the last 12 months: %1 reviews on %2 days.</source>
        <translation>Wiederholungen pro Tag in den letzten 12 Monaten: %1 Wiederholungen an %2 Tagen.</translation>
    </message>
    <message>
        <source>Most on %1: %2.</source>
        <translation>Die meisten am %1: %2.</translation>
    </message>
    <message>
        <source>%1: reviews: %2, correct: %3</source>
        <translation>%1: Wiederholungen: %2, richtig: %3</translation>
    </message>
</context>
<context>
    <name>HelpDialogs</name>
    <message>
        <source>Undo the last review</source>
        <translation>Letzte Bewertung rückgängig machen</translation>
    </message>
    <message>
        <source>Redo</source>
        <translation>Wiederholen</translation>
    </message>
    <message>
        <source>Open a flashcard file</source>
        <translation>Karteikartendatei öffnen</translation>
    </message>
    <message>
        <source>Filter the cards</source>
        <translation>Karten filtern</translation>
    </message>
    <message>
        <source>New window</source>
        <translation>Neues Fenster</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>Keyboard Shortcuts</source>
        <translation>Tastenkürzel</translation>
    </message>
    <message>
        <source>Keys</source>
        <translation>Tasten</translation>
    </message>
    <message>
        <source>Action</source>
        <translation>Aktion</translation>
    </message>
    <message>
        <source>The study keys act on the highlighted face, wherever the focus is in the window, except while typing in a text field.</source>
        <translation>Die Lerntasten wirken auf die hervorgehobene Seite, wo immer im Fenster der Fokus liegt – außer beim Tippen in einem Textfeld.</translation>
    </message>
    <message>
        <source>About Memoranth</source>
        <translation>Über Memoranth</translation>
    </message>
    <message>
        <source>&lt;h3&gt;Memoranth %1&lt;/h3&gt;&lt;p&gt;Study flashcards written as plain text files.&lt;/p&gt;&lt;p&gt;Cards are separated by lines that begin with &lt;b&gt;===&lt;/b&gt;, faces by lines that begin with &lt;b&gt;---&lt;/b&gt;; text in {braces} stays hidden until revealed. Your progress is kept apart from the file and survives editing it.&lt;/p&gt;</source>
        <translation>&lt;h3&gt;Memoranth %1&lt;/h3&gt;&lt;p&gt;Karteikarten aus einfachen Textdateien lernen.&lt;/p&gt;&lt;p&gt;Karten werden durch Zeilen getrennt, die mit &lt;b&gt;===&lt;/b&gt; beginnen, Seiten durch Zeilen, die mit &lt;b&gt;---&lt;/b&gt; beginnen; Text in {geschweiften Klammern} bleibt verdeckt, bis er aufgedeckt wird. Der Lernfortschritt wird getrennt von der Datei gespeichert und übersteht Änderungen an ihr.&lt;/p&gt;</translation>
    </message>
    <message>
        <source>Preferences</source>
        <translation>Einstellungen</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Invalid file. Try another.</source>
        <translation>Ungültige Datei. Versuchen Sie eine andere.</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <source>New Window</source>
        <translation>Neues Fenster</translation>
    </message>
    <message>
        <source>Open...</source>
        <translation>Öffnen …</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Öffnen</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>&amp;Bearbeiten</translation>
    </message>
    <message>
        <source>Undo</source>
        <translation>Rückgängig</translation>
    </message>
    <message>
        <source>Redo</source>
        <translation>Wiederholen</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <source>Keyboard Shortcuts</source>
        <translation>Tastenkürzel</translation>
    </message>
    <message>
        <source>About Memoranth</source>
        <translation>Über Memoranth</translation>
    </message>
    <message>
        <source>Open Recent</source>
        <translation>Zuletzt geöffnet</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>Clear Menu</source>
        <translation>Liste leeren</translation>
    </message>
    <message>
        <source>Flashcard files (*.txt *.cards *.md)</source>
        <translation>Karteikartendateien (*.txt *.cards *.md)</translation>
    </message>
    <message>
        <source>All files (*)</source>
        <translation>Alle Dateien (*)</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>&amp;Ansicht</translation>
    </message>
    <message>
        <source>Statistics</source>
        <translation>Statistik</translation>
    </message>
    <message>
        <source>Preferences...</source>
        <translation>Einstellungen …</translation>
    </message>
    <message>
        <source>Progress is not being saved: %1 Memoranth keeps trying.</source>
        <translation>Der Fortschritt wird nicht gespeichert: %1 Memoranth versucht es weiter.</translation>
    </message>
    <message>
        <source>Progress not saved</source>
        <translation>Fortschritt nicht gespeichert</translation>
    </message>
    <message>
        <source>Some progress could not be saved: %1</source>
        <translation>Ein Teil des Fortschritts konnte nicht gespeichert werden: %1</translation>
    </message>
    <message>
        <source>It is lost if you go on without saving it.</source>
        <translation>Er geht verloren, wenn Sie ohne Speichern fortfahren.</translation>
    </message>
    <message>
        <source>Retry</source>
        <translation>Erneut versuchen</translation>
    </message>
    <message>
        <source>Save Elsewhere...</source>
        <translation>Anderswo speichern …</translation>
    </message>
    <message>
        <source>Save Progress Elsewhere</source>
        <translation>Fortschritt anderswo speichern</translation>
    </message>
    <message>
        <source>Quit Anyway</source>
        <translation>Trotzdem beenden</translation>
    </message>
    <message>
        <source>Close Anyway</source>
        <translation>Trotzdem schließen</translation>
    </message>
    <message>
        <source>Reading the deck…</source>
        <translation>Der Stapel wird gelesen …</translation>
    </message>
    <message>
        <source>Reading the deck: %1 %</source>
        <translation>Der Stapel wird gelesen: %1 %</translation>
    </message>
</context>
<context>
    <name>PreferencesDialog</name>
    <message>
        <source>Preferences</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>The chance of recall at which a face is shown again: higher means shorter intervals and more reviews</source>
        <translation>Die Wahrscheinlichkeit des Erinnerns, bei der eine Seite wieder gezeigt wird: höher heißt kürzere Abstände und mehr Wiederholungen</translation>
    </message>
    <message>
        <source>How many faces never studied before the Due mode introduces each study day, per deck</source>
        <translation>Wie viele noch nie gelernte Seiten der Fällig-Modus je Lerntag und Stapel einführt</translation>
    </message>
    <message>
        <source>The 21 weights of the memory model, separated by commas; change them only for weights fitted to your own reviews</source>
        <translation>Die 21 Gewichte des Gedächtnismodells, durch Kommas getrennt; nur ändern, um an die eigenen Wiederholungen angepasste Gewichte einzutragen</translation>
    </message>
    <message>
        <source>Default Weights</source>
        <translation>Standardgewichte</translation>
    </message>
    <message>
        <source>Desired retention:</source>
        <translation>Gewünschte Erinnerungsquote:</translation>
    </message>
    <message>
        <source>New faces per day:</source>
        <translation>Neue Seiten pro Tag:</translation>
    </message>
    <message>
        <source>Weights:</source>
        <translation>Gewichte:</translation>
    </message>
</context>
<context>
    <name>Progress</name>
    <message>
        <source>New</source>
        <translation>Neu</translation>
    </message>
    <message>
        <source>Learning</source>
        <translation>Lernend</translation>
    </message>
    <message>
        <source>Mastered</source>
        <translation>Beherrscht</translation>
    </message>
    <message>
        <source>Archived</source>
        <translation>Archiviert</translation>
    </message>
    <message>
        <source>Abandoned</source>
        <translation>Aufgegeben</translation>
    </message>
</context>
<context>
    <name>RecentFileRow</name>
    <message>
        <source>Reveal in Finder</source>
        <translation>Im Finder zeigen</translation>
    </message>
    <message>
        <source>Show in File Manager</source>
        <translation>In der Dateiverwaltung zeigen</translation>
    </message>
    <message>
        <source>Open recent file %1.</source>
        <translation>Zuletzt geöffnete Datei %1 öffnen.</translation>
    </message>
    <message>
        <source>Remove %1 from recent files</source>
        <translation>%1 aus den zuletzt geöffneten Dateien entfernen</translation>
    </message>
</context>
<context>
    <name>RetentionChart</name>
    <message>
        <source>%1 %2: %3 (reviews: %4)</source>
        <translation>%1 %2: %3 (Wiederholungen: %4)</translation>
    </message>
    <message>
        <source>True retention per month</source>
        <translation>Tatsächliche Behaltensquote pro Monat</translation>
    </message>
    <message>
        <source>True retention per month against the desired %1.</source>
        <translation>Tatsächliche Behaltensquote pro Monat, gemessen an den gewünschten %1.</translation>
    </message>
    <message>
        <source>No reviews of learnt faces yet.</source>
        <translation>Noch keine Wiederholungen gelernter Seiten.</translation>
    </message>
    <message>
        <source>%1: %2 (reviews: %3)</source>
        <translation>%1: %2 (Wiederholungen: %3)</translation>
    </message>
    <message>
        <source>%1: no reviews</source>
        <translation>%1: keine Wiederholungen</translation>
    </message>
</context>
<context>
    <name>SafeFile</name>
    <message>
        <source>a folder</source>
        <translation>ein Ordner</translation>
    </message>
    <message>
        <source>a named pipe</source>
        <translation>eine benannte Pipe</translation>
    </message>
    <message>
        <source>a symbolic link</source>
        <translation>ein symbolischer Link</translation>
    </message>
    <message>
        <source>a socket</source>
        <translation>ein Socket</translation>
    </message>
    <message>
        <source>a device</source>
        <translation>ein Gerät</translation>
    </message>
    <message>
        <source>not a regular file</source>
        <translation>keine gewöhnliche Datei</translation>
    </message>
    <message>
        <source>%1 could not be read: %2.</source>
        <translation>%1 konnte nicht gelesen werden: %2.</translation>
    </message>
    <message>
        <source>it is %1</source>
        <translation>es ist %1</translation>
    </message>
    <message>
        <source>it is %1 MB, more than the %2 MB such a file may have</source>
        <translation>sie ist %1 MB groß, mehr als die %2 MB, die eine solche Datei haben darf</translation>
    </message>
    <message>
        <source>it grew past the %1 MB such a file may have</source>
        <translation>sie wuchs über die %1 MB hinaus, die eine solche Datei haben darf</translation>
    </message>
    <message>
        <source>Could not write %1: %2.</source>
        <translation>%1 konnte nicht geschrieben werden: %2.</translation>
    </message>
    <message>
        <source>it is %1, which is not replaced</source>
        <translation>es ist %1, das nicht ersetzt wird</translation>
    </message>
    <message>
        <source>%1 could not be opened: its name is not valid UTF-8; rename the file to open it.</source>
        <translation>%1 konnte nicht geöffnet werden: Ihr Name ist kein gültiges UTF-8; benennen Sie die Datei um, um sie zu öffnen.</translation>
    </message>
    <message>
        <source>%1 cannot be read as UTF-8 text.</source>
        <translation>%1 lässt sich nicht als UTF-8-Text lesen.</translation>
    </message>
</context>
<context>
    <name>Scheduler</name>
    <message>
        <source>Weight w%1 is %2; it must lie between %3 and %4.</source>
        <translation>Gewicht w%1 ist %2; es muss zwischen %3 und %4 liegen.</translation>
    </message>
    <message>
        <source>Expected %1 weights, found %2.</source>
        <translation>%1 Gewichte erwartet, %2 gefunden.</translation>
    </message>
    <message>
        <source>Weight w%1, "%2", is not a number.</source>
        <translation>Gewicht w%1, „%2“, ist keine Zahl.</translation>
    </message>
    <message>
        <source>Desired retention is %1; it must lie between %2 and %3.</source>
        <translation>Die gewünschte Erinnerungsquote ist %1; sie muss zwischen %2 und %3 liegen.</translation>
    </message>
    <message>
        <source>Maximum interval is %1 days; it must lie between 1 and %2.</source>
        <translation>Der größte Abstand ist %1 Tage; er muss zwischen 1 und %2 liegen.</translation>
    </message>
    <message>
        <source>Every learning step must last at least one minute.</source>
        <translation>Jeder Lernschritt muss mindestens eine Minute dauern.</translation>
    </message>
    <message>
        <source>New faces per day is %1; it cannot be negative.</source>
        <translation>Neue Seiten pro Tag ist %1; der Wert darf nicht negativ sein.</translation>
    </message>
</context>
<context>
    <name>SelectionBar</name>
    <message>
        <source>Face %1, rating %2 of %3</source>
        <translation>Seite %1, Bewertung %2 von %3</translation>
    </message>
</context>
<context>
    <name>Sidebar</name>
    <message>
        <source>Cards</source>
        <translation>Karten</translation>
    </message>
    <message>
        <source>Recent Files</source>
        <translation>Zuletzt geöffnet</translation>
    </message>
    <message>
        <source>Filter cards (%1)</source>
        <translation>Karten filtern (%1)</translation>
    </message>
    <message>
        <source>Filter cards</source>
        <translation>Karten filtern</translation>
    </message>
    <message>
        <source>Show only the cards whose caption or text contain these words</source>
        <translation>Nur die Karten zeigen, deren Überschrift oder Text diese Wörter enthält</translation>
    </message>
    <message>
        <source>%1 of %2 cards</source>
        <translation>%1 von %2 Karten</translation>
    </message>
</context>
<context>
    <name>StartView</name>
    <message>
        <source>Open a flashcard file.</source>
        <translation>Öffnen Sie eine Karteikartendatei.</translation>
    </message>
    <message>
        <source>Recent Files</source>
        <translation>Zuletzt geöffnet</translation>
    </message>
    <message>
        <source>Open...</source>
        <translation>Öffnen …</translation>
    </message>
    <message>
        <source>Choose a flashcard file to study</source>
        <translation>Eine Karteikartendatei zum Lernen auswählen</translation>
    </message>
    <message>
        <source>Open an example deck</source>
        <translation>Einen Beispielstapel öffnen</translation>
    </message>
    <message>
        <source>%1 (in %2)</source>
        <comment>recent file title and its folder</comment>
        <translation>%1 (in %2)</translation>
    </message>
    <message>
        <source>Open recent file %1.</source>
        <translation>Zuletzt geöffnete Datei %1 öffnen.</translation>
    </message>
</context>
<context>
    <name>StatisticsWindow</name>
    <message>
        <source>Statistics</source>
        <translation>Statistik</translation>
    </message>
    <message>
        <source>Faces with the most lapses</source>
        <translation>Seiten, die am häufigsten vergessen wurden</translation>
    </message>
    <message>
        <source>Reviews per day</source>
        <translation>Wiederholungen pro Tag</translation>
    </message>
    <message>
        <source>Due in the next 30 days</source>
        <translation>Fällig in den nächsten 30 Tagen</translation>
    </message>
    <message>
        <source>True retention per month</source>
        <translation>Tatsächliche Behaltensquote pro Monat</translation>
    </message>
    <message>
        <source>Faces by progress</source>
        <translation>Seiten nach Fortschritt</translation>
    </message>
    <message>
        <source>Faces by rating</source>
        <translation>Seiten nach Bewertung</translation>
    </message>
    <message>
        <source>Stability</source>
        <translation>Stabilität</translation>
    </message>
    <message>
        <source>Difficulty</source>
        <translation>Schwierigkeit</translation>
    </message>
    <message>
        <source>Statistics of %1</source>
        <translation>Statistik von %1</translation>
    </message>
    <message>
        <source>Current streak (days): %1 · longest: %2 · reviews in all: %3</source>
        <translation>Aktuelle Serie (Tage): %1 · längste: %2 · Wiederholungen insgesamt: %3</translation>
    </message>
    <message>
        <source>Today: %1 due, %2 learning, %3 new</source>
        <translation>Heute: %1 fällig, %2 im Lernen, %3 neu</translation>
    </message>
    <message>
        <source>Predicted retention now: %1 (desired %2)</source>
        <translation>Vorhergesagte Behaltensquote jetzt: %1 (gewünscht %2)</translation>
    </message>
    <message>
        <source>Predicted retention now: no face learnt yet (desired %1)</source>
        <translation>Vorhergesagte Behaltensquote jetzt: noch keine Seite gelernt (gewünscht %1)</translation>
    </message>
    <message>
        <source>Today</source>
        <translation>Heute</translation>
    </message>
    <message>
        <source>Tomorrow</source>
        <translation>Morgen</translation>
    </message>
    <message>
        <source>Faces due per day for the next 30 days</source>
        <translation>Fällige Seiten pro Tag in den nächsten 30 Tagen</translation>
    </message>
    <message>
        <source>New</source>
        <translation>Neu</translation>
    </message>
    <message>
        <source>Learning</source>
        <translation>Lernend</translation>
    </message>
    <message>
        <source>Mastered</source>
        <translation>Beherrscht</translation>
    </message>
    <message>
        <source>Archived</source>
        <translation>Archiviert</translation>
    </message>
    <message>
        <source>Abandoned</source>
        <translation>Aufgegeben</translation>
    </message>
    <message>
        <source>Faces by rating, in dots</source>
        <translation>Seiten nach Bewertung, in Punkten</translation>
    </message>
    <message>
        <source>&lt; %1 d</source>
        <translation>&lt; %1 T</translation>
    </message>
    <message>
        <source>≥ %1 d</source>
        <translation>≥ %1 T</translation>
    </message>
    <message>
        <source>%1–%2 d</source>
        <translation>%1–%2 T</translation>
    </message>
    <message>
        <source>Faces by stability</source>
        <translation>Seiten nach Stabilität</translation>
    </message>
    <message>
        <source>Faces by difficulty, from 1 (easy) to 10 (hard)</source>
        <translation>Seiten nach Schwierigkeit, von 1 (leicht) bis 10 (schwer)</translation>
    </message>
    <message>
        <source>Lapses: %1 · card %2: %3</source>
        <translation>Vergessen: %1 · Karte %2: %3</translation>
    </message>
    <message>
        <source>Show this card for study</source>
        <translation>Diese Karte zum Lernen zeigen</translation>
    </message>
    <message>
        <source>No face has lapsed yet.</source>
        <translation>Noch keine Seite wurde vergessen.</translation>
    </message>
    <message>
        <source>Reading the review history…</source>
        <translation>Der Wiederholungsverlauf wird gelesen …</translation>
    </message>
</context>
<context>
    <name>StudyActions</name>
    <message>
        <source>Space</source>
        <translation>Leertaste</translation>
    </message>
    <message>
        <source>Up</source>
        <translation>Pfeil hoch</translation>
    </message>
    <message>
        <source>Down</source>
        <translation>Pfeil runter</translation>
    </message>
    <message>
        <source>Left</source>
        <translation>Pfeil links</translation>
    </message>
    <message>
        <source>Right</source>
        <translation>Pfeil rechts</translation>
    </message>
    <message>
        <source>space</source>
        <translation>Leertaste</translation>
    </message>
    <message>
        <source>Reveal or hide the hidden text of the face</source>
        <translation>Verdeckten Text der Seite auf- oder zudecken</translation>
    </message>
    <message>
        <source>Reveal hidden text (%1)</source>
        <translation>Verdeckten Text aufdecken (%1)</translation>
    </message>
    <message>
        <source>Mark the face correct</source>
        <translation>Seite als richtig markieren</translation>
    </message>
    <message>
        <source>Mark correct (%1)</source>
        <translation>Als richtig markieren (%1)</translation>
    </message>
    <message>
        <source>Mark the face incorrect</source>
        <translation>Seite als falsch markieren</translation>
    </message>
    <message>
        <source>Mark incorrect (%1)</source>
        <translation>Als falsch markieren (%1)</translation>
    </message>
    <message>
        <source>Pass: go on to the next face</source>
        <translation>Überspringen: weiter zur nächsten Seite</translation>
    </message>
    <message>
        <source>Pass (%1)</source>
        <translation>Überspringen (%1)</translation>
    </message>
    <message>
        <source>Previous face of the card</source>
        <translation>Vorherige Seite der Karte</translation>
    </message>
    <message>
        <source>Show previous face of card (%1)</source>
        <translation>Vorherige Seite der Karte zeigen (%1)</translation>
    </message>
    <message>
        <source>Next face (after the last one, the next card)</source>
        <translation>Nächste Seite (nach der letzten die nächste Karte)</translation>
    </message>
    <message>
        <source>Show next face of card (%1)</source>
        <translation>Nächste Seite der Karte zeigen (%1)</translation>
    </message>
    <message>
        <source>Previous card</source>
        <translation>Vorherige Karte</translation>
    </message>
    <message>
        <source>Show previous card (%1)</source>
        <translation>Vorherige Karte zeigen (%1)</translation>
    </message>
    <message>
        <source>Next card</source>
        <translation>Nächste Karte</translation>
    </message>
    <message>
        <source>Show next card (%1)</source>
        <translation>Nächste Karte zeigen (%1)</translation>
    </message>
    <message>
        <source>%1 or %2</source>
        <translation>%1 oder %2</translation>
    </message>
    <message>
        <source>Choose the progress state of the face</source>
        <translation>Fortschrittsstand der Seite wählen</translation>
    </message>
    <message>
        <source>Progress state (%1)</source>
        <translation>Fortschrittsstand (%1)</translation>
    </message>
    <message>
        <source>Due mode: forgotten (Again)</source>
        <translation>Fällig-Modus: vergessen (Nochmal)</translation>
    </message>
    <message>
        <source>Again (%1)</source>
        <translation>Nochmal (%1)</translation>
    </message>
    <message>
        <source>Due mode: recalled with difficulty (Hard)</source>
        <translation>Fällig-Modus: mit Mühe gewusst (Schwer)</translation>
    </message>
    <message>
        <source>Hard (%1)</source>
        <translation>Schwer (%1)</translation>
    </message>
    <message>
        <source>Due mode: recalled (Good)</source>
        <translation>Fällig-Modus: gewusst (Gut)</translation>
    </message>
    <message>
        <source>Good (%1)</source>
        <translation>Gut (%1)</translation>
    </message>
    <message>
        <source>Due mode: recalled at once (Easy)</source>
        <translation>Fällig-Modus: sofort gewusst (Leicht)</translation>
    </message>
    <message>
        <source>Easy (%1)</source>
        <translation>Leicht (%1)</translation>
    </message>
</context>
<context>
    <name>StudyModeSwitch</name>
    <message>
        <source>In Order</source>
        <translation>Der Reihe nach</translation>
    </message>
    <message>
        <source>Due</source>
        <translation>Fällig</translation>
    </message>
    <message>
        <source>Study every card in file order</source>
        <translation>Alle Karten in der Reihenfolge der Datei lernen</translation>
    </message>
    <message>
        <source>Study the faces that are due, as the schedule has them</source>
        <translation>Die fälligen Seiten lernen, wie der Zeitplan sie vorsieht</translation>
    </message>
    <message>
        <source>%1 due now · %2 new today</source>
        <translation>%1 jetzt fällig · %2 neu heute</translation>
    </message>
    <message>
        <source>Counting the faces due…</source>
        <translation>Die fälligen Seiten werden gezählt …</translation>
    </message>
</context>
</TS>
