#!/usr/bin/python3
"""Drives Tarnwick's real window through the accessibility bus, as a screen reader or voice
control does, on the practice domain.

- Every focusable control of every tab (hidden modes included), of the window around them and of
  each dialog and sheet the window opens without a network must have a name, without a trailing
  colon, and a field labelled by a label must be named after it.
- A field set and a choice toggled through the accessibility interfaces must reach the models:
  the next run uses them (checked in the practice gam's invocation log and the output log).

Usage (inside tests/accessibility/with-atspi.sh): atspi_window.py TARNWICK
"""

import json
import os
import subprocess
import sys
import tempfile
import time

import pyatspi
from gi.repository import Atspi, GLib

WAIT_SECONDS = 45
# Menu items that leave the window (a browser, another process) or quit; the rest open dialogs.
MENU_ITEMS_NOT_OPENED = {"Quit", "GAM Wiki", "Practice Domain…"}
# Fields named after a label; buttons, tabs and menu items are read by their own text, and Qt names
# a combo box by its current choice (its label is read through the relation).
LABELLED_ROLES = {pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY, pyatspi.ROLE_PASSWORD_TEXT, pyatspi.ROLE_SPIN_BUTTON,
                  pyatspi.ROLE_DATE_EDITOR}
# Their children are cells or items, named by their data.
CONTAINERS_OF_DATA = {pyatspi.ROLE_TABLE, pyatspi.ROLE_TREE_TABLE, pyatspi.ROLE_TREE, pyatspi.ROLE_LIST}


class Failure(Exception):
    pass


def wait_for(what, probe, seconds=WAIT_SECONDS):
    deadline = time.monotonic() + seconds
    while True:
        try:
            value = probe()
        except (GLib.Error, LookupError):
            value = None
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure("timed out waiting for " + what)
        time.sleep(0.1)


def has_state(node, state):
    return node.getState().contains(state)


def children(node):
    return [child for child in (node.getChildAtIndex(i) for i in range(node.childCount)) if child is not None]


def descendants(node):
    for child in children(node):
        yield child
        if child.getRole() not in CONTAINERS_OF_DATA:
            yield from descendants(child)


def find(root, role, name=None, showing=False):
    for node in descendants(root):
        if node.getRole() == role and (name is None or node.name == name):
            if not showing or has_state(node, pyatspi.STATE_SHOWING):
                return node
    return None


def path_of(node, root):
    steps = []
    while node is not None and node != root:
        steps.append("{}[{}]".format(node.getRoleName(), node.name))
        node = node.parent
    return " < ".join(steps)


def is_control(node):
    """Labels are read by their text; a tab widget hands its focus to its tab bar."""
    if node.getRole() == pyatspi.ROLE_LABEL:
        return False
    return not any(child.getRole() == pyatspi.ROLE_PAGE_TAB_LIST for child in children(node))


def unnamed_controls(root, where):
    """Describes each focusable control under root that a screen reader could not name properly."""
    problems = []
    controls = 0
    for node in descendants(root):
        if not has_state(node, pyatspi.STATE_FOCUSABLE) or not is_control(node):
            continue
        controls += 1
        name = node.name.strip()
        if not name:
            problems.append("{}: a {} without a name ({})".format(where, node.getRoleName(), path_of(node, root)))
        elif name.endswith(":"):
            problems.append("{}: the name {!r} ends with a colon".format(where, name))
    for node in descendants(root):
        if node.getRole() != pyatspi.ROLE_LABEL:
            continue
        for relation in node.getRelationSet():
            if relation.getRelationType() != pyatspi.RELATION_LABEL_FOR:
                continue
            for i in range(relation.getNTargets()):
                field = relation.getTarget(i)
                label = node.name.strip().rstrip(":").strip()
                if field.getRole() in LABELLED_ROLES and field.name != label:
                    problems.append("{}: the {} labelled {!r} is named {!r}".format(
                        where, field.getRoleName(), label, field.name))
    return controls, problems


def do_action(node, *names):
    action = node.queryAction()
    available = [action.getName(i) for i in range(action.nActions)]
    for i, name in enumerate(available):
        if name in names:
            action.doAction(i)
            return
    raise Failure("{} {!r} offers {} but none of {}".format(node.getRoleName(), node.name, available, names))


def press(node):
    do_action(node, "Press", "press", "click")


def toggle(node):
    do_action(node, "Toggle", "toggle")


def set_text(node, text):
    if not node.queryEditableText().setTextContents(text):
        raise Failure("the accessibility interface refused text for {!r}".format(node.name))


def top_levels(app):
    return [node for node in children(app) if has_state(node, pyatspi.STATE_SHOWING)]


def new_top_level(app, before, what):
    return wait_for(what, lambda: next((w for w in top_levels(app) if w not in before), None))


def log_lines(window):
    table = find(window, pyatspi.ROLE_TABLE, "Output Log").queryTable()
    return [table.getAccessibleAt(row, 0).name for row in range(table.nRows)]


def gam_runs(log_path):
    if not os.path.exists(log_path):
        return []
    with open(log_path, encoding="utf-8") as log:
        return [json.loads(line) for line in log if line.strip()]


class Session:
    def __init__(self, tarnwick, scratch):
        self.gam_log = os.path.join(scratch, "gam-runs.jsonl")
        self.problems = []
        self.counts = []
        environment = dict(os.environ, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                           PRACTICE_GAM_LOG=self.gam_log)
        # Registers with the accessibility bus before the application looks for it.
        pyatspi.Registry.getDesktop(0)
        self.process = subprocess.Popen([tarnwick, "--practice"], env=environment)
        self.app = wait_for("Tarnwick on the accessibility bus", self.find_application, 90)
        Atspi.Accessible.set_cache_mask(self.app, Atspi.Cache.NONE)

    def find_application(self):
        if self.process.poll() is not None:
            raise Failure("tarnwick --practice exited with status {}".format(self.process.returncode))
        desktop = pyatspi.Registry.getDesktop(0)
        for app in children(desktop):
            if app.get_process_id() == self.process.pid:
                return app
        return None

    def check(self, root, where):
        controls, problems = unnamed_controls(root, where)
        self.counts.append("{}: {} controls".format(where, controls))
        self.problems.extend(problems)

    def close(self):
        self.process.terminate()
        try:
            self.process.wait(15)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()


def startup_notice_and_window(session):
    app = session.app
    notice = wait_for("the start-up notice", lambda: next(
        (w for w in top_levels(app) if find(w, pyatspi.ROLE_PUSH_BUTTON, "I have GAM installed — Continue")), None))
    session.check(notice, "start-up notice")
    press(find(notice, pyatspi.ROLE_PUSH_BUTTON, "I have GAM installed — Continue"))
    wait_for("the start-up notice to close", lambda: notice not in top_levels(app))
    window = next(w for w in top_levels(app) if w.getRole() == pyatspi.ROLE_FRAME)
    if "Practice" not in window.name:
        session.problems.append("the practice window's title does not say Practice: {!r}".format(window.name))
    switcher = next((n for n in descendants(window) if n.name.startswith("Domain: ")), None)
    if switcher is None or "Practice" not in switcher.name:
        session.problems.append("the domain switcher does not say Practice")
    session.check(window, "main window")
    return window


def tab_pages(window):
    """Selects each tab of the window's first tab list in turn and yields its name and page."""
    tab_list = find(window, pyatspi.ROLE_PAGE_TAB_LIST)
    if tab_list is None:
        return
    tab_widget = tab_list.parent
    stack = next(c for c in children(tab_widget) if c.getRole() == pyatspi.ROLE_LAYERED_PANE)
    for tab in children(tab_list):
        if tab.getRole() != pyatspi.ROLE_PAGE_TAB:
            continue
        press(tab)
        # Qt names the tab list after its current tab.
        wait_for("the {} tab".format(tab.name), lambda: tab_list.name == tab.name)
        page = wait_for("the {} page".format(tab.name), lambda: next(
            (p for p in children(stack) if has_state(p, pyatspi.STATE_SHOWING)), None))
        yield tab.name, page


def choices_of(page):
    """Yields the page once for each row of a list or tree that chooses what it shows (the Security
    checks), or once when it has none. Tables of results are not choosers."""
    chooser = next((n for n in descendants(page) if n.getRole() in (pyatspi.ROLE_TREE, pyatspi.ROLE_TREE_TABLE,
                                                                    pyatspi.ROLE_LIST)
                    and has_state(n, pyatspi.STATE_SHOWING) and has_state(n, pyatspi.STATE_FOCUSABLE)), None)
    if chooser is None:
        yield ""
        return
    table = chooser.queryTable()
    for row in range(table.nRows):
        # A row that cannot be chosen is skipped.
        if table.addRowSelection(row):
            yield " > " + table.getAccessibleAt(row, 0).name


def select_tab(window, name):
    for tab_name, page in tab_pages(window):
        if tab_name == name:
            return page
    raise Failure("no tab named " + name)


def check_every_tab(session, window):
    names = []
    for name, page in tab_pages(window):
        names.append(name)
        for choice in choices_of(page):
            session.check(page, "tab " + name + choice)
    if not names:
        session.problems.append("the window shows no tabs")


def check_menu_dialogs(session, window):
    """Opens every dialog the menus offer, checks it, and closes it."""
    app = session.app
    menu_bar = find(window, pyatspi.ROLE_MENU_BAR)
    for menu in children(menu_bar):
        for item in descendants(menu):
            if item.getRole() != pyatspi.ROLE_MENU_ITEM or item.name in MENU_ITEMS_NOT_OPENED:
                continue
            if not has_state(item, pyatspi.STATE_ENABLED) or item.childCount:
                continue
            before = top_levels(app)
            do_action(item, "Press", "press", "click", "Click")
            dialog = new_top_level(app, before, "the dialog of " + item.name)
            session.check(dialog, "dialog " + dialog.name)
            for name, page in tab_pages(dialog):
                session.check(page, "dialog {} tab {}".format(dialog.name, name))
            close_dialog(app, dialog)


def close_dialog(app, dialog):
    for name in ("Close", "Cancel", "OK", "Done"):
        button = find(dialog, pyatspi.ROLE_PUSH_BUTTON, name, showing=True)
        if button is not None:
            press(button)
            wait_for("{} to close".format(dialog.name), lambda: dialog not in top_levels(app))
            return
    raise Failure("dialog {!r} has no Close, Cancel, OK or Done button".format(dialog.name))


def custom_command_runs_what_was_set(session, window):
    page = select_tab(window, "Custom Command")
    field = find(page, pyatspi.ROLE_TEXT, "GAM Command")
    set_text(field, "gam info domain")
    press(find(page, pyatspi.ROLE_PUSH_BUTTON, "Run Command"))
    wait_for("gam info domain in the practice gam's log",
             lambda: any(run["argv"] == ["info", "domain"] for run in gam_runs(session.gam_log)))
    wait_for("the run in the output log", lambda: "[RUN] gam info domain" in log_lines(window))
    wait_for("the run to end", lambda: "  Command completed successfully." in log_lines(window))


def gmail_runs_the_form_of_the_toggled_mode(session, window):
    app = session.app
    page = select_tab(window, "Gmail")
    toggle(find(page, pyatspi.ROLE_CHECK_BOX, "Delete by Sender") or find(page, pyatspi.ROLE_TOGGLE_BUTTON,
                                                                          "Delete by Sender"))
    senders = wait_for("the sender form", lambda: find(page, pyatspi.ROLE_TEXT, "Sender Email(s)", showing=True))
    owner = find(senders.parent.parent, pyatspi.ROLE_TEXT, "Mailbox Owner Email", showing=True)
    set_text(owner, "morgan.ellis@example.org")
    set_text(senders, "helpdesk@secure-login.example.net")
    press(find(page, pyatspi.ROLE_PUSH_BUTTON, "Preview", showing=True))
    expected = ["user", "morgan.ellis@example.org", "delete", "messages", "query",
                "from:helpdesk@secure-login.example.net"]
    wait_for("the sender preview in the practice gam's log",
             lambda: any(run["argv"][:len(expected)] == expected for run in gam_runs(session.gam_log)))
    wait_for("the preview to end", lambda: any(line.startswith("Preview done") for line in log_lines(window)))

    # An empty form raises an alert: check it, then dismiss it.
    toggle(find(page, pyatspi.ROLE_CHECK_BOX, "Delete by Message-ID"))
    before = top_levels(app)
    press(find(page, pyatspi.ROLE_PUSH_BUTTON, "Preview", showing=True))
    alert = new_top_level(app, before, "the Missing Input alert")
    session.check(alert, "alert " + alert.name)
    close_dialog(app, alert)


def find_messages_opens_the_results_sheet(session, window):
    app = session.app
    page = select_tab(window, "Gmail")
    toggle(find(page, pyatspi.ROLE_CHECK_BOX, "Delete by Properties"))
    sender = wait_for("the properties form", lambda: find(page, pyatspi.ROLE_TEXT, "From", showing=True))
    search = sender.parent.parent
    set_text(find(search, pyatspi.ROLE_TEXT, "Mailbox Owner Email", showing=True), "morgan.ellis@example.org")
    set_text(sender, "helpdesk@secure-login.example.net")
    before = top_levels(app)
    press(find(page, pyatspi.ROLE_PUSH_BUTTON, "Find Messages", showing=True))
    sheet = new_top_level(app, before, "the results sheet")
    session.check(sheet, "results sheet")
    table = find(sheet, pyatspi.ROLE_TABLE)
    if table is None or not table.name.startswith("Found Messages"):
        session.problems.append("the results table is not named after the sheet's title")
    close_dialog(app, sheet)


def quit_confirmation_while_running(session, window):
    app = session.app
    page = select_tab(window, "Custom Command")
    set_text(find(page, pyatspi.ROLE_TEXT, "GAM Command"), "sleep 60")
    press(find(page, pyatspi.ROLE_PUSH_BUTTON, "Run Command"))
    stop = wait_for("Stop", lambda: find(window, pyatspi.ROLE_PUSH_BUTTON, "Stop", showing=True))
    quit_item = next(n for n in descendants(find(window, pyatspi.ROLE_MENU_BAR)) if n.name == "Quit")
    before = top_levels(app)
    do_action(quit_item, "Press", "press", "click", "Click")
    question = new_top_level(app, before, "the quit confirmation")
    session.check(question, "quit confirmation")
    close_dialog(app, question)
    press(stop)
    wait_for("the run to stop", lambda: "  Stopped by user." in log_lines(window))


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    with tempfile.TemporaryDirectory() as scratch:
        session = Session(sys.argv[1], scratch)
        window = None
        try:
            window = startup_notice_and_window(session)
            check_every_tab(session, window)
            check_menu_dialogs(session, window)
            custom_command_runs_what_was_set(session, window)
            gmail_runs_the_form_of_the_toggled_mode(session, window)
            find_messages_opens_the_results_sheet(session, window)
            quit_confirmation_while_running(session, window)
        except Failure as failure:
            session.problems.append(str(failure))
            session.problems.extend("  gam ran: " + " ".join(run["argv"]) for run in gam_runs(session.gam_log))
            if window is not None:
                session.problems.extend("  output log: " + line for line in log_lines(window)[-15:])
        finally:
            session.close()
    print("\n".join(session.counts))
    if session.problems:
        print("\n".join(["FAILED:"] + session.problems))
        sys.exit(1)
    print("Every control is named, and what was set through the accessibility bus reached the runs.")


if __name__ == "__main__":
    main()
