#!/usr/bin/env python3
"""The page driven in headless Chromium, scenario by scenario as the Qt
window and the Windows program are driven: keystrokes and clicks in, the six
texts and the focus out. Then reopening, and a settings file opened and
saved. Skips (exit 77) with a line saying why where no browser can run.

Usage: page_test.py KOVRateCalc.html
"""
import ast
import os
import pathlib
import shutil
import signal
import sys
import tempfile
import time

try:
    from selenium import webdriver
    from selenium.webdriver.common.action_chains import ActionChains
    from selenium.webdriver.common.by import By
    from selenium.webdriver.common.keys import Keys
except ImportError:
    print("SKIPPED: no Selenium for Python (Debian: apt-get install python3-selenium)")
    sys.exit(77)

PAGE = pathlib.Path(sys.argv[1]).resolve().as_uri()
CONTROLS = {  # the controls, by the names the scenarios use
    "pay": "input[data-field='0']", "charge": "input[data-field='1']",
    "wtr_pct": "input[data-field='2']", "erni_pct": "input[data-field='3']",
    "margin_amt": "input[data-field='4']", "margin_pct": "input[data-field='5']",
    "wtr": "input[type=checkbox][data-place='6']", "erni": "input[type=checkbox][data-place='9']",
    "mode_pay": "input[type=radio][data-place='17']", "mode_charge": "input[type=radio][data-place='18']",
    "mode_margin": "input[type=radio][data-place='19']", "calc": "button.control",
    "calc_header": "#client [data-place='16']", "about_tool": "#open-about", "copy": "#copy-figures",
    "open_tool": "#open-settings", "breakdown": "#breakdown", "copy_text": "#copy-text",
}
WORKED = ["14.11", "20.00", "12.07", "13.80", "2.00", "10.00"]
MARGIN_OF_20 = ["10.00", "20.00", "12.07", "13.80", "7.25", "36.23"]


def start(mode="Pay", pay=0, charge=0, margin_amt=0, margin_pct=0, erni=1):
    return {"sCalcMode": mode, "nPayAmt": "%.2f" % pay, "nChargeAmt": "%.2f" % charge,
            "nMarginAmt": "%.2f" % margin_amt, "nMarginPct": "%.2f" % margin_pct, "bCalcERNI": str(erni)}


FRESH, CALCULATED = {}, start("Pay", 14.11, 20, 2, 10)
TAB, ENTER = ("key", Keys.TAB), ("key", Keys.ENTER)
focus, type_, key, click = (lambda c: ("focus", c)), (lambda t: ("type", t)), (lambda k: ("key", k)), (lambda c: ("click", c))
# name, kept figures at the start, steps, six texts shown, focused control
# and, where a row is about it, the mode selected
SCENARIOS = [
    ("the worked example typed from the first field", FRESH,
     [TAB, type_("20")] + [TAB] * 6 + [type_("10"), ENTER], WORKED, "margin_pct"),
    ("Enter in the margin amount uses the amount", CALCULATED, [focus("margin_amt"), type_("3"), ENTER],
     ["13.33", "20.00", "12.07", "13.80", "3.00", "15.00"], "margin_amt"),
    ("a click on Calc lets the percentage win", CALCULATED,
     [focus("margin_amt"), type_("3"), click("calc")], WORKED, "calc"),
    ("a mode button refreshes without calculating", start("Pay", 0, 20, 0, 10),
     [focus("charge"), type_("50"), click("mode_margin")],
     ["0.00", "20.00", "12.07", "13.80", "0.00", "10.00"], "mode_margin"),
    ("Charge mode derives the charge", start("Pay", 14.11, 0, 0, 10, erni=0),
     [click("mode_charge"), click("calc")], ["14.11", "17.57", "12.07", "13.80", "1.76", "10.00"], "calc"),
    ("Down on the selected mode selects the next", start("Charge", 14.11, 17.57, 1.76, 10),
     [focus("mode_charge"), key(Keys.DOWN)], ["14.11", "17.57", "12.07", "13.80", "1.76", "10.00"],
     "mode_margin"),
    ("unticking WTR recalculates with the text just typed", FRESH,
     [focus("charge"), type_("20"), focus("margin_pct"), type_("10"), click("wtr")],
     ["15.82", "20.00", "12.07", "13.80", "2.00", "10.00"], "wtr"),
    ("Space on the switches: both on-costs off, then ER NI back", CALCULATED,
     [focus("wtr"), key(Keys.SPACE), focus("erni"), key(Keys.SPACE), key(Keys.SPACE)],
     ["15.82", "20.00", "12.07", "13.80", "2.00", "10.00"], "erni"),
    ("a figure too long to show is refused", start("Margin", 10, 20),
     [focus("wtr_pct"), type_("1" * 79), click("calc")],
     ["10.00", "20.00", "12.07", "13.80", "0.00", "0.00"], "calc"),
    ("text that is no number reads as 0", start("Margin", 10, 20),
     [focus("wtr_pct"), type_("\u00a312"), ENTER], ["10.00", "20.00", "0.00", "13.80", "8.62", "43.10"],
     "wtr_pct"),
    ("Escape leaves everything as it was", CALCULATED, [focus("charge"), key(Keys.ESCAPE)], WORKED, "charge"),
    ("Alt and Ctrl with a letter type nothing", CALCULATED,
     [focus("charge"), key(Keys.HOME), ("chord", Keys.ALT, "c"), ("chord", Keys.CONTROL, "k"),
      ("chord", Keys.META, "w"), ("chord", Keys.ALT, "E"), ENTER],
     WORKED, "charge"),
    ("after Enter the caret stands before the text", CALCULATED,
     [focus("wtr_pct"), ENTER, type_("5"), ENTER], ["2.58", "20.00", "512.07", "13.80", "2.00", "10.00"],
     "wtr_pct"),
    ("a figure too wide for its field shows its first digits", CALCULATED,
     [focus("charge"), type_("1234567890123"), ENTER],
     ["871216019982.72", "1234567890123.00", "12.07", "13.80", "123456789012.30", "10.00"], "charge"),
    ("Down from the last mode button goes round to Calc", start("Margin", 14.11, 20, 2, 10),
     [focus("mode_margin"), key(Keys.DOWN)], WORKED, "calc", "Margin"),
    ("Right from the Pay button chooses Charge", CALCULATED, [focus("mode_pay"), key(Keys.RIGHT)], WORKED,
     "mode_charge", "Charge"),
    ("Up from the Pay button stops on the heading; Enter then calculates", CALCULATED,
     [focus("mode_pay"), key(Keys.UP), ENTER], WORKED, "calc_header", "Pay"),
    ("Shift+Tab from the first field goes round to the selected mode button", dict(CALCULATED, sCalcMode="Charge"),
     [focus("pay"), ("chord", Keys.SHIFT, Keys.TAB)], WORKED, "mode_charge"),
    ("Down from WTR reaches its field, its text selected", CALCULATED, [focus("wtr"), key(Keys.DOWN)], WORKED,
     "wtr_pct"),
    ("Left from the charge field moves its caret only", CALCULATED,
     [focus("charge"), key(Keys.END), key(Keys.LEFT), type_("9"), ENTER],
     ["14.18", "20.09", "12.07", "13.80", "2.01", "10.00"], "charge"),
    ("the shared keystrokes of the Windows end-to-end run", CALCULATED,
     [TAB, key(Keys.HOME), ("chord", Keys.ALT, "c"), ("chord", Keys.CONTROL, "p"), ("chord", Keys.ALT, "E"),
      ENTER, TAB, TAB, ENTER, type_("5"), ENTER] + [TAB] * 5 + [key(Keys.RIGHT)],
     ["2.58", "20.00", "512.07", "13.80", "2.00", "10.00"], "mode_charge", "Charge"),
    ("Ctrl+Enter presses Calc", start("Margin", 10, 13.80), [focus("charge"), type_("20"), ("chord", Keys.CONTROL, Keys.ENTER)],
     MARGIN_OF_20, "charge"),
    ("Shift+Enter presses Calc", start("Margin", 10, 13.80), [focus("charge"), type_("20"), ("chord", Keys.SHIFT, Keys.ENTER)],
     MARGIN_OF_20, "charge"),
    ("Alt+Enter does not", start("Margin", 10, 13.80), [focus("charge"), type_("20"), ("chord", Keys.ALT, Keys.ENTER)],
     ["10.00", "20", "12.07", "13.80", "0.00", "0.00"], "charge"),
    ("F1 opens the help; closing it gives the focus back", CALCULATED,
     [focus("charge"), key(Keys.F1), ("help",)], WORKED, "charge"),
    ("a kept settings file too large to write into is not offered as saved", CALCULATED,
     [("reopen", {"file": "A" * 4194305}), ("save", "The settings file could not be written")], WORKED,
     "save-settings"),
    ("the About picture and notice are on the page", CALCULATED, [("about",), focus("pay")], WORKED, "pay"),
    ("reopening shows the figures kept", FRESH,
     [TAB, type_("20")] + [TAB] * 6 + [type_("10"), ENTER, ("reopen", {})], WORKED, "pay"),
    ("a kept figure reads as the desktop reads it from its file", CALCULATED,
     [("reopen", {"nPayAmt": "14.11 ", "nWTRPct": "9.99", "nERNIPct": "1e1", "sCalcMode": "margin",
                  "bCalcWTR": "2", "nMarginPct": "inf", "nChargeAmt": "2\nnChargeAmt=3", "nMarginAmt": "1" * 80})],
     ["14.11", "2.00", "9.99", "10.00", "0.00", "0.00"], "pay"),
    ("figures typed out of range reopen as the desktop reads them", start("Margin", 10, 20),
     [focus("wtr_pct"), type_("1e400"), focus("erni_pct"), type_("-0.004"), ENTER, ("reopen", {})],
     ["10.00", "20.00", "0.00", "0.00", "0.00", "0.00"], "pay"),
    ("a file with no settings section changes nothing", CALCULATED,
     [("open", "shopping-list.txt", b"eggs\r\nmilk\r\n", "shopping-list.txt could not be read"),
      ("open", "picture.png", bytes(range(256)), "picture.png could not be read"), ("reopen", {})], WORKED, "pay"),
    ("a file the full storage cannot keep is never saved in place of an older one",
     dict(CALCULATED, file="[Mine]\r\nold=A\r\n[RateCalc]\r\nnPayAmt=14.11\r\n"),
     [("fill",), ("open", "B.ini", b"[RateCalc]\nnPayAmt=14.11\nnChargeAmt=20\nnMarginAmt=2\nnMarginPct=10\n" + b";\n" * 400,
                  "Figures read from B.ini, but this browser's storage could not keep the file"),
      ("reopen", {}), ("save", "KOVRateCalc.ini saved", "old=A")], WORKED, "save-settings"),
    ("F6 leaves the window for the page's tools, where Tab goes on", CALCULATED,
     [focus("charge"), key(Keys.F6), TAB, TAB, TAB], WORKED, "about_tool"),
    ("F6 from the tools goes back to where the window was left", CALCULATED,
     [focus("erni"), key(Keys.F6), TAB, ("chord", Keys.SHIFT, Keys.F6)], WORKED, "erni"),
]
# Enter on every field, switch and mode button calculates and keeps the focus.
for name in ["pay", "charge", "wtr", "wtr_pct", "erni", "erni_pct", "margin_amt", "margin_pct",
             "mode_pay", "mode_charge", "mode_margin"]:
    SCENARIOS.append(("Enter on " + name, start("Pay", 0, 20, 2, 10), [focus(name), ENTER], WORKED, name))
# Tab walks the fields and switches, then the selected mode button, then
# round to the first field, never stopping on Calc; read-only fields too.
for mode in ["Pay", "Charge", "Margin"]:
    order = ["pay", "charge", "wtr", "wtr_pct", "erni", "erni_pct", "margin_amt", "margin_pct",
             "mode_" + mode.lower(), "pay"]
    for tabs in range(1, 10):
        SCENARIOS.append(("%d Tabs, %s mode" % (tabs, mode), dict(CALCULATED, sCalcMode=mode),
                          [TAB] * tabs, WORKED, order[tabs]))
# The breakdown under the window after the steps: its lines, and whether it
# says they do not add up.
WORKED_LINES = ["Pay \u00a314.11", "WTR at 12.07 % \u00a31.70", "ER NI at 13.80 % \u00a32.18", "Cost \u00a318.00",
                "Margin (10.00 %) \u00a32.00", "Charge \u00a320.00"]
BREAKDOWNS = [
    ("the worked example", [TAB, type_("20")] + [TAB] * 6 + [type_("10"), ENTER], WORKED_LINES, True),
    ("an on-cost switched off has no line", [focus("charge"), type_("20"), focus("margin_pct"), type_("10"),
     click("wtr")], [WORKED_LINES[0].replace("14.11", "15.82")] + WORKED_LINES[2:], False),
]
COPIED = "\n".join(["Pay: \u00a314.11", "Charge: \u00a320.00", "WTR: 12.07 % (on)", "ER NI: 13.80 % (on)",
                    "Margin: \u00a32.00", "Margin: 10.00 %", "", "What the charge is made of:"] +
                   [line.replace(" \u00a3", ": \u00a3") for line in WORKED_LINES] +
                   ["Rounded to the penny, these lines do not add up exactly.", ""])


def breakdowns_and_copy(driver, failures):
    """The breakdown after a calculation and a switch; Copy from the tools by
    keyboard, with the clipboard and without; names; a phone's width."""
    for name, steps, want, short in BREAKDOWNS:
        open_page(driver, FRESH)
        run_scenario(driver, steps)
        check(failures, "breakdown, " + name, driver.execute_script(
            "return [[...document.querySelectorAll('#breakdown tr')].map(r => r.cells[0].textContent + ' ' +"
            " r.cells[1].textContent), !document.getElementById('breakdown-check').hidden]"), [want, short])
    driver.set_window_size(360, 740)
    for setting, notice, focused in (("granted", "The figures and the breakdown are on the clipboard.", "copy"),
                                     ("denied", "The browser did not let the page copy", "copy_text")):
        open_page(driver, CALCULATED)
        for permission in ("clipboard-read", "clipboard-write"):
            driver.execute_cdp_cmd("Browser.setPermission", {"permission": {"name": permission}, "setting": setting})
        run_scenario(driver, [focus("about_tool"), TAB, ENTER])
        got = wait_for(driver, "return document.getElementById('notice').textContent").split(":")[0]
        copied = driver.execute_async_script(
            "const done = arguments[0], box = document.getElementById('copy-text');"
            "if (box.hidden) navigator.clipboard.readText().then(done, done);"
            "else done(box.value.slice(box.selectionStart, box.selectionEnd))")
        check(failures, "Copy, clipboard " + setting, [copied, got, shown(driver)["focus"]], [COPIED, notice, focused])
    open_page(driver, dict(CALCULATED, nChargeAmt="1" + "0" * 70 + ".00"))
    run_scenario(driver, [focus("open_tool"), ("chord", Keys.SHIFT, Keys.TAB)])
    check(failures, "breakdown: Shift+Tab from the tools, named, a long figure within a phone's width",
          [shown(driver)["focus"]] + [driver.find_element(By.CSS_SELECTOR, CONTROLS[name]).accessible_name
                                      for name in ("breakdown", "copy")] +
          [driver.execute_script("return document.documentElement.scrollWidth <= innerWidth")],
          ["breakdown", "What the charge is made of", "Copy the figures and the breakdown as text", True])

LAYOUTS = [(320, True), (390, True), (768, False)]  # CSS px wide, and whether the window fills it as on a phone


def field_key_rows():
    """The window rules' keystroke rows, which the desktop suites replay too."""
    rows = (pathlib.Path(__file__).resolve().parent.parent / "unit" / "field_key_rows.h").read_text()
    return [ast.literal_eval("(%s)" % line[1:-2].replace("false", "False").replace("true", "True"))
            for line in rows.splitlines() if line.startswith('{"')]


def field_keys(driver, failures):
    """Each row pressed in the charge field (a margin field where the row's
    field is read-only) of a page in Margin mode."""
    named = {"Ctrl": Keys.CONTROL, "Shift": Keys.SHIFT, "Alt": Keys.ALT, "Left": Keys.LEFT, "Right": Keys.RIGHT,
             "Up": Keys.UP, "Down": Keys.DOWN, "Home": Keys.HOME, "End": Keys.END, "Backspace": Keys.BACKSPACE,
             "Delete": Keys.DELETE, "Insert": Keys.INSERT}
    open_page(driver, start("Margin", 10, 13.80))
    for permission in ("clipboard-read", "clipboard-write"):
        driver.execute_cdp_cmd("Browser.setPermission", {"permission": {"name": permission}, "setting": "granted"})
    for text, anchor, caret, read_only, keys, *after in field_key_rows():
        # A mode button draws every field anew, with nothing left to undo.
        driver.execute_script("arguments[0].click()", driver.find_element(By.CSS_SELECTOR, CONTROLS["mode_margin"]))
        driver.execute_script("const [f, text, anchor, caret] = arguments; f.focus(); f.value = text;"
                              "f.setSelectionRange(Math.min(anchor, caret), Math.max(anchor, caret),"
                              " caret < anchor ? 'backward' : 'forward')",
                              driver.find_element(By.CSS_SELECTOR, CONTROLS["margin_amt" if read_only else "charge"]),
                              text, anchor, caret)
        for stroke in keys.split():
            *held, name = stroke.split("+")
            chain = ActionChains(driver)
            [chain.key_down(named[modifier]) for modifier in held]
            chain.send_keys(named.get(name, name.lower() if held else name))
            [chain.key_up(named[modifier]) for modifier in held]
            chain.perform()
        # A paste the page makes itself ends when the clipboard answers.
        deadline = time.monotonic() + 10
        while (got := driver.execute_script(
                "const f = document.activeElement, back = f.selectionDirection === 'backward';"
                "return [f.value, back ? f.selectionEnd : f.selectionStart, back ? f.selectionStart : f.selectionEnd]"
               )) != after and time.monotonic() < deadline:
            time.sleep(0.02)
        check(failures, "field keys %r, %s" % (text, keys), got, after)


def browser(downloads):
    options = webdriver.ChromeOptions()
    for arg in ("--headless=new --no-sandbox --disable-gpu --disable-quic --no-first-run "
                "--disable-background-networking --disable-component-update --disable-sync").split():
        options.add_argument(arg)
    options.add_argument("--user-data-dir=" + tempfile.mkdtemp(dir=downloads))
    options.add_experimental_option("prefs", {"download.default_directory": str(downloads),
                                              "download.prompt_for_download": False})
    driver = webdriver.Chrome(options=options)
    driver.execute_cdp_cmd("Browser.setDownloadBehavior", {"behavior": "allow", "downloadPath": str(downloads)})
    return driver


def open_page(driver, kept, clear=True):
    """The page opened with these figures kept from an earlier visit. They
    are written once the page is ready, so that its own first save of the
    figures it opened with cannot overwrite them."""
    driver.get(PAGE)
    wait_for(driver, "return document.body.dataset.ready")
    driver.execute_script("if (arguments[1]) localStorage.clear();"
                          "for (const [k, v] of Object.entries(arguments[0])) localStorage.setItem('KOVRateCalc.' + k, v);",
                          kept, clear)
    driver.refresh()
    wait_for(driver, "return document.body.dataset.ready")


def wait_for(driver, script, seconds=10):
    """The script's answer once it is true, within the time given."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        answer = driver.execute_script(script)
        if answer:
            return answer
        time.sleep(0.02)
    raise AssertionError("waited in vain for: " + script)


def saved_file(notice, driver):
    """The settings file a save put in the downloads (the test's folder),
    taken out of them."""
    driver.find_element(By.ID, "save-settings").click()
    wait_for(driver, "return document.getElementById('notice').textContent.startsWith(%r)" % notice)
    saved = pathlib.Path(os.environ["HOME"]).parent / "KOVRateCalc.ini"
    deadline = time.monotonic() + 5
    while not (saved.exists() and saved.stat().st_size) and time.monotonic() < deadline:
        time.sleep(0.05)
    data = saved.read_bytes() if saved.exists() else None
    saved.unlink(missing_ok=True)
    return data


def shown(driver):
    return driver.execute_script("""
        const fields = [...document.querySelectorAll('input[data-field]')];
        const focus = document.activeElement;
        return {texts: fields.map(f => f.value),
                looks: fields.map(f => f.readOnly === (getComputedStyle(f).color === 'rgb(0, 0, 255)')),
                mode: document.querySelector('#client input[type=radio]:checked').parentElement.textContent,
                ring: getComputedStyle(focus.closest('label') || focus).outlineStyle !== 'none',
                focus: (Object.entries(arguments[0]).find(([name, css]) => focus.matches(css)) || [focus.id])[0],
                selection: focus.dataset.field === undefined ? [0, 0, 0, 0] :
                    [focus.selectionStart, focus.selectionEnd, focus.value.length, focus.scrollLeft]};""", CONTROLS)


def run_scenario(driver, steps):
    for step in steps:
        el = lambda name: driver.find_element(By.CSS_SELECTOR, CONTROLS[name])
        if step[0] == "focus":
            driver.execute_script("arguments[0].focus(); if (arguments[0].select) arguments[0].select()", el(step[1]))
        elif step[0] in ("type", "key"):
            ActionChains(driver).send_keys(step[1]).perform()
        elif step[0] == "chord":
            ActionChains(driver).key_down(step[1]).send_keys(step[2]).key_up(step[1]).perform()
        elif step[0] == "click":
            ActionChains(driver).click(el(step[1])).perform()
        elif step[0] == "reopen":
            open_page(driver, step[1], clear=False)
        elif step[0] == "help":
            wait_for(driver, "return document.getElementById('help').open && document.getElementById"
                             "('help-frame').contentDocument.title === 'The calculator in a browser'")
            driver.find_element(By.CSS_SELECTOR, "#help button").click()
        elif step[0] == "save" and len(step) > 2:
            assert step[2].encode() not in saved_file(step[1], driver), "the saved file holds " + step[2]
        elif step[0] == "save":
            driver.find_element(By.ID, "save-settings").click()
            wait_for(driver, "return document.getElementById('notice').textContent.startsWith(%r)" % step[1])
        elif step[0] == "open":
            opened = pathlib.Path(tempfile.mkdtemp()) / step[1]
            opened.write_bytes(step[2])
            driver.find_element(By.ID, "open-settings").send_keys(str(opened))
            wait_for(driver, "return document.getElementById('notice').textContent.startsWith(%r)" % step[3])
        elif step[0] == "fill":  # the storage filled to its last few bytes
            driver.execute_script("for (let size = 1 << 22, i = 0; size > 0; ) try {"
                                  " localStorage.setItem('filler' + i++, 'x'.repeat(size)); } catch (e) { size >>= 1; }")
        elif step[0] == "about":
            driver.find_element(By.ID, "open-about").click()
            about = driver.execute_script("const p = document.querySelector('#about-client img');"
                                          "return [p.naturalWidth, p.naturalHeight, p.width, p.height,"
                                          " document.querySelector('#about-client div').textContent]")
            assert about == [320, 240, 320, 240, "\u00a9 The owner of KOV Rate Calculator. All rights reserved."], about
            driver.find_element(By.CSS_SELECTOR, "#about button").click()


def check(failures, name, got, want):
    if got != want:
        failures.append("%s: got %r, want %r" % (name, got, want))


def settings_file_opened_and_saved(driver, folder, failures, encoding):
    """A hand-written file read, the figures calculated, the file saved with
    the user's own lines and its encoding kept, as the Windows end-to-end
    test does."""
    crlf = lambda *lines: "".join(line + "\r\n" for line in lines).encode(encoding)
    ini = pathlib.Path(tempfile.mkdtemp(dir=folder)) / "KOVRateCalc.ini"
    ini.write_bytes(crlf("[Mine]", "note=keep me", "", "[RateCalc]", "bCalcWTR=1", "bCalcERNI=0", "nPayAmt=14.11",
                         "nChargeAmt=0.00", "nWTRPct=12.07", "nERNIPct=13.80", "nMarginAmt=0.00",
                         "nMarginPct=10.00", "sCalcMode=Charge"))
    open_page(driver, {})
    driver.find_element(By.ID, "open-settings").send_keys(str(ini))
    wait_for(driver, "return document.getElementById('notice').textContent.startsWith('Figures read')")
    driver.find_element(By.CSS_SELECTOR, CONTROLS["pay"]).click()
    run_scenario(driver, [ENTER] + [TAB] * 8 + [key(Keys.DOWN)])
    check(failures, encoding + " settings file: figures", shown(driver)["texts"],
          ["14.11", "17.57", "12.07", "13.80", "1.76", "10.00"])
    check(failures, encoding + " settings file: saved", saved_file("KOVRateCalc.ini saved", driver),
          crlf("[Mine]", "note=keep me", "", "[RateCalc]", "bCalcWTR=1", "bCalcERNI=0", "nPayAmt=14.11",
               "nChargeAmt=17.57", "nWTRPct=12.07", "nERNIPct=13.80", "nMarginAmt=1.76", "nMarginPct=10.00",
               "sCalcMode=Margin"))


def largest_settings_file(driver, folder, failures):
    """A UTF-16 file just under the size a settings file may have, opened
    and saved: every line of it kept, the page alive."""
    ini = pathlib.Path(tempfile.mkdtemp(dir=folder)) / "KOVRateCalc.ini"
    mine = "[Mine]\r\n" + ("x" * 98 + "\r\n") * 20900
    ini.write_bytes((mine + "[RateCalc]\r\nnPayAmt=7.00\r\n").encode("utf-16"))
    open_page(driver, {})
    driver.find_element(By.ID, "open-settings").send_keys(str(ini))
    wait_for(driver, "return document.getElementById('notice').textContent.startsWith('Figures read')")
    text = (saved_file("KOVRateCalc.ini saved", driver) or b"").decode("utf-16")
    check(failures, "largest settings file: saved whole", (text.startswith(mine), "nPayAmt=7.00" in text),
          (True, True))


def laid_out(driver, failures):
    """On a phone the window fills most of the width, with text and fields a
    finger can use; wider screens keep the desktop's size; never sideways."""
    for width, phone in LAYOUTS:
        driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                               {"width": width, "height": 700, "deviceScaleFactor": 1, "mobile": True})
        open_page(driver, CALCULATED)
        check(failures, "%d px wide: filled, text of 16 px, fields of 24 px; not zoomed; no sideways" % width,
              driver.execute_script("""
            const client = document.getElementById('client'), style = getComputedStyle(client);
            const fields = [...client.querySelectorAll('input[data-field]')].map(f => f.getBoundingClientRect().height);
            const unscrolled = document.documentElement.scrollWidth <= innerWidth;
            return arguments[0] ? [document.getElementById('window').getBoundingClientRect().width >= 0.9 * innerWidth,
                                   parseFloat(style.fontSize) * style.zoom >= 15.995, Math.min(...fields) >= 24, unscrolled]
                                : [style.zoom === '1', unscrolled]""", phone), [True] * (4 if phone else 2))
    driver.execute_cdp_cmd("Emulation.clearDeviceMetricsOverride", {})


def main():
    if not (shutil.which("chromium") and shutil.which("chromedriver")):
        print("SKIPPED: no headless Chromium (Debian: apt-get install chromium chromium-driver)")
        return 77
    # A home, XDG folders and temporary folder of the test's own; the browser
    # and its driver in the test's process group, all ended if it hangs.
    folder = pathlib.Path(tempfile.mkdtemp())
    for name in ("HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "TMPDIR"):
        os.environ[name] = str(folder / name.lower())
        os.makedirs(os.environ[name])
    tempfile.tempdir = os.environ["TMPDIR"]
    os.setpgid(0, 0)
    signal.signal(signal.SIGALRM, lambda *_: os.killpg(0, signal.SIGKILL))
    signal.alarm(240)
    driver = browser(folder)
    failures = []
    try:
        open_page(driver, {})
        check(failures, "nothing fetched: one file", driver.execute_script(
            "return performance.getEntriesByType('resource').map(r => r.name).filter(n => !n.startsWith('data:'))"), [])
        driver.execute_script("document.getElementById('open-help').click()")  # its frame is made then
        check(failures, "the script's names its own, the help in a frame without scripts", driver.execute_script("""
            const frame = document.body.appendChild(document.createElement('iframe'));
            const anyPage = new Set(Object.getOwnPropertyNames(frame.contentWindow));
            frame.remove();
            const help = document.getElementById('help-frame').sandbox;
            const driverOrFrame = (name) => name === 'ret_nodes' || /^[0-9]+$/.test(name);  // the driver's, a frame's
            return [Object.getOwnPropertyNames(window).filter(name => !anyPage.has(name) && !driverOrFrame(name)).concat(
                        ['controls', 'fields', 'rules', 'draw', 'openedFile'].filter(name => (0, eval)('typeof ' + name) !== 'undefined')),
                    help.length > 0 && !help.contains('allow-scripts')]"""), [["KOVRateCalc"], True])
        for name, kept, steps, texts, focused, *mode in SCENARIOS:
            open_page(driver, kept)
            try:
                run_scenario(driver, steps)
            except AssertionError as error:  # a step that never saw what it waited for
                failures.append("%s: %s" % (name, error))
                continue
            got = shown(driver)
            check(failures, name + ": texts", got["texts"], texts)
            check(failures, name + ": read-only exactly where blue", got["looks"], [True] * 6)
            check(failures, name + ": focus", got["focus"], focused)
            check(failures, name + ": mode", [got["mode"]] if mode else [], mode)
            if steps[-1][0] in ("key", "chord"):
                check(failures, name + ": the focus drawn", got["ring"], True)
            start_, end, length, scrolled = got["selection"]
            if steps[-1] == TAB and length:
                check(failures, name + ": a field reached by Tab is selected whole", (start_, end), (0, length))
            if steps[-1] == ENTER and length:
                check(failures, name + ": caret before the new text, shown from its start", (start_, end, scrolled),
                      (0, 0, 0))
        field_keys(driver, failures)
        for encoding in ("cp1252", "utf-16"):  # utf-16: little-endian with its mark
            settings_file_opened_and_saved(driver, folder, failures, encoding)
        largest_settings_file(driver, folder, failures)
        laid_out(driver, failures)
        breakdowns_and_copy(driver, failures)
        refused = driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {
            "source": "WebAssembly.Module = function () { throw new RangeError('not on the main thread'); };"})
        open_page(driver, CALCULATED)
        check(failures, "compiled in the background where not on the spot", shown(driver)["texts"], WORKED)
        driver.execute_cdp_cmd("Page.removeScriptToEvaluateOnNewDocument", refused)
    finally:
        driver.quit()
        shutil.rmtree(folder, ignore_errors=True)
    if failures:
        print("\n".join(failures))
        return 1
    # In GoogleTest's words, for test.sh's count: the scenarios, the page
    # fetching nothing, its names, the field key rows, the three settings
    # files, the layouts, the breakdowns, the two ways of Copy, the
    # keyboard's way to the breakdown and the rules compiled in the background.
    print("[  PASSED  ] %d tests." % (len(SCENARIOS) + len(field_key_rows()) + 5 + len(LAYOUTS) + len(BREAKDOWNS) + 4))
    return 0


sys.exit(main())
