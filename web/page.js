"use strict";
// The calculator window in the page. The window rules, compiled to
// WebAssembly, decide everything: the template gives every control's kind,
// text and place in dialog units; each thing the user does is one call into
// the rules, which answers with the view to draw. This script only lays out,
// reads the fields and the focus, and draws.

const kNoField = -1;
const kStoragePrefix = "KOVRateCalc.";
const kStoredFileKey = kStoragePrefix + "file";
const kSettingsFileName = "KOVRateCalc.ini";

let mainTemplate = null;
const controls = []; // by place in the template: the element that takes the focus, or null
const fields = []; // by Field
const switches = []; // by Switch
const modeButtons = new Map(); // CalcMode number -> radio button
let openedFile = new Uint8Array(0); // the settings file last opened, whose other lines a save keeps
let keyTypesText = true;

const $ = (id) => document.getElementById(id);
const rules = (name, ...args) => Module["_" + name](...args);
const answer = (pointer) => JSON.parse(Module.UTF8ToString(pointer));

// Bytes into the WebAssembly memory for the length of one call.
function withBytes(bytes, use) {
  const pointer = Module._malloc(bytes.length + 1);
  Module.HEAPU8.set(bytes, pointer);
  Module.HEAPU8[pointer + bytes.length] = 0;
  try {
    return use(pointer, bytes.length);
  } finally {
    Module._free(pointer);
  }
}

// A field holds single-byte text, as the desktop programs' fields do: a
// character outside Latin-1 reads as "?".
function latin1(text) {
  return Uint8Array.from(text, (ch) => (ch.codePointAt(0) < 256 ? ch.codePointAt(0) : 63));
}

const utf8 = (text) => new TextEncoder().encode(text);

// The dialog manager's units: a quarter of the font's average character
// width (over the 52 Latin letters, rounded) and an eighth of its height.
function dialogUnits(font) {
  const probe = document.createElement("span");
  probe.style.cssText = "position:absolute;visibility:hidden;white-space:nowrap";
  probe.style.font = font;
  probe.textContent = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  document.body.appendChild(probe);
  const box = probe.getBoundingClientRect();
  probe.remove();
  return { x: Math.floor((Math.floor(box.width / 26) + 1) / 2), y: Math.round(box.height) };
}

const scale = (units, times, parts) => Math.floor((units * times + Math.floor(parts / 2)) / parts);

function place(element, box, units) {
  element.style.left = scale(box[0], units.x, 4) + "px";
  element.style.top = scale(box[1], units.y, 8) + "px";
  element.style.width = scale(box[2], units.x, 4) + "px";
  element.style.height = scale(box[3], units.y, 8) + "px";
}

function paint(element, look) {
  element.style.color = look.text;
  element.style.background = look.background;
}

// One control of a template, by its kind; its style words become classes.
function makeControl(control, index, template) {
  let element;
  let focusable = null;
  switch (control.kind) {
    case "calc":
      element = focusable = document.createElement("button");
      element.type = "button";
      element.textContent = control.text;
      // A click focuses Calc, so that the margin percentage wins, as on the
      // desktop, whatever the browser's habit for buttons.
      element.addEventListener("mousedown", () => element.focus());
      element.addEventListener("click", () => pressCalc());
      break;
    case "field":
      element = focusable = document.createElement("input");
      element.type = "text";
      element.spellcheck = false;
      element.autocomplete = "off";
      element.setAttribute("aria-label", control.name);
      element.dataset.field = control.item;
      element.addEventListener("beforeinput", (event) => {
        if (event.inputType !== "insertText") return;
        event.preventDefault();
        if (keyTypesText && !element.readOnly) typeIntoField(element, event.data || "");
      });
      element.addEventListener("input", () => rules("page_forget_field_undo", control.item));
      for (const kind of ["copy", "cut", "paste"]) element.addEventListener(kind, onFieldClipboard);
      fields[control.item] = element;
      break;
    case "switch":
    case "mode": {
      element = document.createElement("label");
      focusable = document.createElement("input");
      const text = document.createElement("span");
      text.textContent = control.text;
      if (control.kind === "switch") {
        focusable.type = "checkbox";
        focusable.addEventListener("click", () => toggleSwitch(control.item));
        switches[control.item] = focusable;
      } else {
        focusable.type = "radio";
        focusable.name = "mode";
        focusable.addEventListener("click", () => draw(answer(rules("page_choose_mode", control.item))));
        modeButtons.set(control.item, focusable);
      }
      element.append(...(control.styles.includes("boxRight") ? [text, focusable] : [focusable, text]));
      break;
    }
    case "picture":
      element = document.createElement("img");
      element.src = $("about-picture").src;
      element.alt = $("about-picture").alt;
      break;
    default:
      // Text the arrow keys may reach, as on the desktop, but a click
      // leaves the focus where it was.
      element = focusable = document.createElement("div");
      element.textContent = control.text;
      element.addEventListener("mousedown", (event) => event.preventDefault());
      if (control.kind === "header") paint(element, template.headerLook);
  }
  element.classList.add("control", ...control.styles);
  if (focusable) {
    focusable.dataset.place = index;
    focusable.tabIndex = control.styles.includes("tabStop") ? 0 : -1;
  }
  return { element, focusable };
}

function layOut(template, client, captionElement) {
  const font = `${template.pointSize}pt "${template.font}", var(--typefaces)`;
  const units = dialogUnits(font);
  captionElement.textContent = template.caption;
  client.style.font = font;
  client.style.width = scale(template.width, units.x, 4) + "px";
  client.style.height = scale(template.height, units.y, 8) + "px";
  const focusables = [];
  template.controls.forEach((control, index) => {
    const { element, focusable } = makeControl(control, index, template);
    if (control.styles.includes("realSize")) {
      element.style.left = scale(control.box[0], units.x, 4) + "px";
      element.style.top = scale(control.box[1], units.y, 8) + "px";
    } else {
      place(element, control.box, units);
    }
    client.appendChild(element);
    focusables.push(focusable);
  });
  return focusables;
}

// The view the rules returned, on every control: switches, mode, texts,
// read-only states and looks. A text set here starts at its first
// character with the caret before it, as a desktop field's new text does;
// the fields are scrolled back once all are drawn, so that the page is laid
// out once rather than once a field.
function draw(view) {
  showView(view);
  for (const element of fields) element.scrollLeft = 0;
}

function showView(view) {
  view.switches.forEach((on, which) => (switches[which].checked = on));
  for (const [mode, button] of modeButtons) button.checked = mode === view.mode;
  view.fields.forEach((shown, field) => {
    const element = fields[field];
    element.value = shown.text;
    element.readOnly = !shown.input;
    paint(element, shown.look);
    element.setSelectionRange(0, 0);
  });
  if (view.refused) beep();
  keepFigures();
  drawBreakdown(view);
}

// The cost behind the figures on screen, as the engine gives every line;
// kept with the view it was drawn for, for Copy.
let shownBreakdown = null;

const pounds = (text) => (text.startsWith("-") ? "-\u00a3" + text.slice(1) : "\u00a3" + text);

function breakdownLines(breakdown) {
  const lines = [["Pay", breakdown.pay]];
  if (breakdown.wtr) lines.push([`WTR at ${breakdown.wtr.rate} %`, breakdown.wtr.amount]);
  if (breakdown.erni) lines.push([`ER NI at ${breakdown.erni.rate} %`, breakdown.erni.amount]);
  lines.push(["Cost", breakdown.cost], [`Margin (${breakdown.marginPct} %)`, breakdown.margin], ["Charge", breakdown.charge]);
  return lines;
}

function drawBreakdown(view) {
  const breakdown = answer(rules("page_cost_breakdown"));
  const rows = breakdownLines(breakdown).map(([name, amount]) => {
    const row = document.createElement("tr");
    const heading = document.createElement("th");
    const cell = document.createElement("td");
    heading.scope = "row";
    heading.textContent = name;
    cell.textContent = pounds(amount);
    row.append(heading, cell);
    return row;
  });
  $("breakdown-lines").replaceChildren(...rows);
  $("breakdown-check").hidden = breakdown.addsUp;
  $("copy-text").hidden = true;
  shownBreakdown = { view, breakdown };
}

// The six figures and the breakdown as plain lines, to paste into a message.
function figuresAsText() {
  const { view, breakdown } = shownBreakdown;
  const [pay, charge, wtr, erni, marginAmt, marginPct] = view.fields.map((field) => field.text);
  const onOff = (on) => (on ? "on" : "off");
  const lines = [
    `Pay: ${pounds(pay)}`,
    `Charge: ${pounds(charge)}`,
    `WTR: ${wtr} % (${onOff(view.switches[0])})`,
    `ER NI: ${erni} % (${onOff(view.switches[1])})`,
    `Margin: ${pounds(marginAmt)}`,
    `Margin: ${marginPct} %`,
    "",
    $("breakdown-title").textContent + ":",
    ...breakdownLines(breakdown).map(([name, amount]) => `${name}: ${pounds(amount)}`),
  ];
  if (!breakdown.addsUp) lines.push($("breakdown-check").textContent);
  return lines.join("\n") + "\n";
}

// Where the browser refuses the clipboard, the text is shown selected for
// the user to copy.
async function copyFigures() {
  if (!shownBreakdown) return; // the calculator has not started: no figures yet
  const text = figuresAsText();
  try {
    await navigator.clipboard.writeText(text);
    notify("The figures and the breakdown are on the clipboard.");
  } catch (error) {
    const box = $("copy-text");
    box.value = text;
    box.hidden = false;
    box.focus();
    box.select();
    notify("The browser did not let the page copy: the text is selected under the lines, copy it with Ctrl+C.");
  }
}

const placeOf = (element) => (element && element.dataset.place !== undefined ? Number(element.dataset.place) : -1);

function focusedField() {
  const element = document.activeElement;
  return element && element.dataset.field !== undefined ? Number(element.dataset.field) : kNoField;
}

// The six texts as the fields hold them, handed to the rules before an
// entry that reads them.
function stageTexts() {
  fields.forEach((element, field) =>
    withBytes(latin1(element.value), (pointer, length) => rules("page_set_field_text", field, pointer, length)));
}

function pressCalc() {
  stageTexts();
  draw(answer(rules("page_press_calc", focusedField())));
}

function toggleSwitch(which) {
  stageTexts();
  draw(answer(rules("page_toggle_switch", which)));
}

// Focus moved by Tab or an arrow key: a field so reached has its whole text
// selected.
function focusControl(index) {
  const element = controls[index];
  if (!element) return;
  element.focus();
  if (element.dataset.field !== undefined) element.select();
}

function arrowKey(from, forward) {
  const move = rules("page_move_by_arrow", from, forward ? 1 : 0);
  const to = move < 0 ? -1 - move : move;
  focusControl(to);
  if (move < 0) draw(answer(rules("page_choose_mode", mainTemplate.controls[to].item)));
}

// Keys inside the window. Enter calculates wherever the focus is and leaves
// it there; Escape closes nothing; Tab and the arrow keys go where the
// rules say.
function onWindowKey(event) {
  if (event.isComposing) return; // the keys belong to an input method's composition
  const altGraph = event.getModifierState && event.getModifierState("AltGraph");
  keyTypesText = !!rules("page_key_types_text", event.altKey && !altGraph, event.ctrlKey && !altGraph, event.metaKey);
  const from = placeOf(event.target);
  const inField = event.target.dataset.field !== undefined;
  const modifiers =
    (event.altKey && !altGraph ? 1 : 0) | (event.ctrlKey && !altGraph ? 2 : 0) | (event.metaKey ? 4 : 0) | (event.shiftKey ? 8 : 0);
  if (inField && fieldKey(event, modifiers)) return;
  switch (event.key) {
    case "Tab":
      event.preventDefault();
      focusControl(rules("page_next_tab_stop", from, event.shiftKey ? 0 : 1));
      break;
    case "Enter":
      event.preventDefault();
      if (rules("page_enter_presses_calc", modifiers & 1)) pressCalc();
      break;
    case "Escape":
      event.preventDefault();
      break;
    case "ArrowDown":
    case "ArrowRight":
    case "ArrowUp":
    case "ArrowLeft":
      if (inField || from < 0 || event.altKey) break; // a field keeps them for its caret
      event.preventDefault();
      arrowKey(from, event.key === "ArrowDown" || event.key === "ArrowRight");
      break;
  }
}

// The keys inside a field, by FieldKey, which the window rules decide as
// the desktop programs' fields do; a letter counts only with Ctrl.
const kFieldKeys = ["ArrowLeft", "ArrowRight", "ArrowUp", "ArrowDown", "Home", "End", "Backspace", "Delete", "Insert"];
const [kFieldEdit, kFieldCopy, kFieldCut, kFieldPaste] = [1, 2, 3, 4];

function selectionOf(element) {
  const { selectionStart: start, selectionEnd: end } = element;
  return element.selectionDirection === "backward" ? [end, start] : [start, end];
}

function askField(element, key, letter, modifiers) {
  stageTexts();
  const [anchor, caret] = selectionOf(element);
  const field = Number(element.dataset.field);
  const code = letter ? letter.charCodeAt(0) : 0;
  return answer(rules("page_field_key", field, key, code, modifiers, element.readOnly ? 1 : 0, anchor, caret));
}

function showFieldEdit(element, edit) {
  element.value = edit.text;
  const backward = edit.caret < edit.anchor;
  element.setSelectionRange(backward ? edit.caret : edit.anchor, backward ? edit.anchor : edit.caret, backward ? "backward" : "forward");
  rules("page_keep_field_edit");
}

function typeIntoField(element, text) {
  stageTexts();
  const [anchor, caret] = selectionOf(element);
  const field = Number(element.dataset.field);
  showFieldEdit(element, withBytes(latin1(text), (pointer, length) =>
    answer(rules("page_type_into_field", field, pointer, length, anchor, caret))));
}

// Copy and cut go through the browser's own clipboard events, which only
// they may write; a paste key is left to the browser where it starts a
// paste event, which reads the clipboard without asking. Ctrl with a letter
// the browser's field does not edit with is the browser's own shortcut
// (find, print), left to it.
function fieldKey(event, modifiers) {
  const key = kFieldKeys.indexOf(event.key);
  const letter = event.ctrlKey && /^[acvxyz]$/i.test(event.key) ? event.key.toUpperCase() : "";
  if (key < 0 && !letter) return false;
  const edit = askField(event.target, key < 0 ? kFieldKeys.length : key, letter, modifiers);
  const browserPastes = !(event.key === "Insert" && event.ctrlKey);
  if (edit.action === kFieldPaste && browserPastes) return true;
  event.preventDefault();
  if (edit.action === kFieldPaste) pasteFromClipboard(event.target);
  if (edit.action === kFieldEdit) showFieldEdit(event.target, edit);
  if (edit.action === kFieldCopy || edit.action === kFieldCut) document.execCommand(edit.action === kFieldCut ? "cut" : "copy");
  return true;
}

// Ctrl+Shift+Insert pastes on Windows, but no browser starts its paste
// with it: the page reads the clipboard itself, which the browser may first
// ask the user to allow.
async function pasteFromClipboard(element) {
  try {
    typeIntoField(element, await navigator.clipboard.readText());
  } catch (error) {
    notify("The browser did not let the page read the clipboard: Ctrl+V and Shift+Insert paste.");
  }
}

function onFieldClipboard(event) {
  event.preventDefault();
  const element = event.target;
  const edit = askField(element, kFieldKeys.length, { copy: "C", cut: "X", paste: "V" }[event.type], 2);
  if (edit.action === kFieldCopy || edit.action === kFieldCut) event.clipboardData.setData("text/plain", edit.copied);
  if (edit.action === kFieldCut) showFieldEdit(element, edit);
  if (edit.action === kFieldPaste) typeIntoField(element, event.clipboardData.getData("text/plain"));
}

// F1 anywhere opens the page's help, never the browser's. F6 moves between
// the window and the page's tools, as desktop programs move between panes:
// the window's Tab order is the desktop's and never leads out of it.
function onPageKey(event) {
  if (event.key === "F1") {
    event.preventDefault();
    openHelp();
  } else if (event.key === "F6" && !event.altKey && !event.ctrlKey && !event.metaKey) {
    event.preventDefault();
    switchPane();
  }
}

let focusLeftInWindow = null;

function switchPane() {
  if (document.querySelector("dialog[open]")) return;
  const inWindow = $("window").contains(document.activeElement);
  if (inWindow) {
    focusLeftInWindow = document.activeElement;
    $("tools").querySelector("input, button").focus();
  } else if (focusLeftInWindow && focusLeftInWindow.isConnected) {
    focusLeftInWindow.focus();
  } else {
    focusControl(rules("page_next_tab_stop", -1, 1));
  }
}

function beep() {
  try {
    const context = (beep.context ||= new AudioContext());
    const tone = context.createOscillator();
    const volume = context.createGain();
    volume.gain.value = 0.1;
    tone.frequency.value = 880;
    tone.connect(volume).connect(context.destination);
    tone.start();
    tone.stop(context.currentTime + 0.12);
  } catch (error) {
    // No sound here: the unchanged figures say it.
  }
}

function notify(text) {
  $("notice").textContent = text;
}

// The figures in the browser's storage, each under its settings key; where
// storage is switched off the page still calculates and keeps nothing.
function keepFigures() {
  try {
    const kept = answer(rules("page_stored_figures"));
    for (const key of Object.keys(kept)) localStorage.setItem(kStoragePrefix + key, kept[key]);
  } catch (error) {
    // Nothing kept.
  }
}

function storageItem(key) {
  try {
    return localStorage.getItem(key);
  } catch (error) {
    return null;
  }
}

function restoreFigures() {
  for (const key of Object.keys(answer(rules("page_stored_figures")))) {
    const text = storageItem(kStoragePrefix + key);
    withBytes(utf8(key), (keyPointer) => {
      if (text === null) return rules("page_restore_figure", keyPointer, 0);
      return withBytes(utf8(text), (textPointer) => rules("page_restore_figure", keyPointer, textPointer));
    });
  }
  const file = storageItem(kStoredFileKey);
  if (file !== null) openedFile = Uint8Array.from(file, (ch) => ch.charCodeAt(0) & 255);
}

async function openSettingsFile(input) {
  const file = input.files[0];
  input.value = "";
  if (!file) return;
  if (file.size > rules("page_max_settings_bytes")) {
    notify(`${file.name} is too large to be a settings file; your figures are as they were.`);
    return;
  }
  const bytes = new Uint8Array(await file.arrayBuffer());
  if (!withBytes(bytes, (pointer, length) => rules("page_open_settings_file", pointer, length))) {
    notify(`${file.name} could not be read as a settings file; your figures are as they were.`);
    return;
  }
  openedFile = bytes;
  const kept = keepOpenedFile(bytes);
  draw(answer(rules("page_view")));
  notify(
    kept
      ? `Figures read from ${file.name}.`
      : `Figures read from ${file.name}, but this browser's storage could not keep the file: ` +
          "save it before you close the page, or its other lines are lost.",
  );
}

// The opened file for the next visit's save. The older file goes first, so
// that a failed store leaves none rather than one the user no longer has
// open; true when kept.
function keepOpenedFile(bytes) {
  try {
    localStorage.removeItem(kStoredFileKey);
    let text = "";
    for (let at = 0; at < bytes.length; at += 8192) text += String.fromCharCode(...bytes.subarray(at, at + 8192));
    localStorage.setItem(kStoredFileKey, text);
    return true;
  } catch (error) {
    return false;
  }
}

// The opened file (or a new one) with the page's figures written in, as a
// download; every other line of the opened file is kept.
function saveSettingsFile() {
  const bytes = withBytes(openedFile, (pointer, length) => {
    const text = rules("page_settings_file", pointer, length);
    return text ? Module.HEAPU8.slice(text, text + rules("page_answer_length")) : null;
  });
  if (!bytes) {
    notify("The settings file could not be written; your figures are still on the page.");
    return;
  }
  const link = document.createElement("a");
  link.href = URL.createObjectURL(new Blob([bytes], { type: "application/octet-stream" }));
  link.download = kSettingsFileName;
  document.body.appendChild(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 60000);
  notify(`${kSettingsFileName} saved to your downloads.`);
}

// The help pages are inside the page; a link to another of them opens it
// in the same frame.
function helpPage(name) {
  return document.querySelector(`script.help-page[data-name="${CSS.escape(name)}"]`);
}

function showHelpPage(name) {
  helpFrame().srcdoc = helpPage(name).textContent;
}

// The help's frame is made when the help is first opened: an empty frame
// costs the page's start more than all the rest of its markup, and even
// inert markup for one makes a document of its own. In its sandbox the
// help's pages run no script.
function helpFrame() {
  if (!$("help-frame")) {
    const frame = document.createElement("iframe");
    frame.id = "help-frame";
    frame.title = "Help";
    frame.sandbox = "allow-same-origin";
    frame.addEventListener("load", onHelpLoaded);
    $("help").append(frame);
  }
  return $("help-frame");
}

function onHelpLoaded() {
  const page = $("help-frame").contentDocument;
  if (!page) return;
  page.addEventListener("click", (event) => {
    const link = event.target.closest("a[href]");
    if (!link) return;
    event.preventDefault();
    const name = link.getAttribute("href");
    if (helpPage(name)) showHelpPage(name);
    else if (name === "#about") showAbout();
  });
  page.addEventListener("keydown", (event) => {
    if (event.key === "F1") event.preventDefault();
  });
}

function openHelp() {
  if ($("help").open) return;
  showHelpPage("page.html");
  $("help").showModal();
}

// The About window is laid out when first shown, not while the page starts.
function showAbout() {
  if (!$("about-client").hasChildNodes()) {
    layOut(answer(rules("page_window_template", 1)), $("about-client"), $("about-caption"));
  }
  if ($("help").open) $("help").close();
  if (!$("about").open) $("about").showModal();
}

// On a phone the window is scaled as a whole, so its dialog-unit layout
// keeps its proportions: it fills the width with room to spare, never less
// than text of 16 px where the screen allows, never wider than the screen.
// A desktop browser keeps the desktop's size; the user's zoom does the rest.
const kPhoneWidths = "(max-width: 600px)";
const kPhoneTextPx = 16;
const kPhoneMarginPx = 20;

function fitToScreen() {
  const client = $("client");
  let zoom = 1;
  if (matchMedia(kPhoneWidths).matches) {
    const width = parseFloat(client.style.width);
    const border = 2 * parseFloat(getComputedStyle($("window")).borderLeftWidth);
    const readable = kPhoneTextPx / ((mainTemplate.pointSize * 96) / 72);
    zoom = Math.min((innerWidth - border) / width, Math.max(readable, (innerWidth - kPhoneMarginPx) / width));
  }
  client.style.zoom = zoom === 1 ? "" : String(zoom);
}

function startPage() {
  mainTemplate = answer(rules("page_window_template", 0));
  controls.push(...layOut(mainTemplate, $("client"), $("caption")));
  fitToScreen();
  addEventListener("resize", fitToScreen);
  restoreFigures();
  // New fields show their text from its start: scrolling them back would
  // lay the page out once more before it is ready.
  showView(answer(rules("page_view")));
  $("window").addEventListener("keydown", onWindowKey);
  document.addEventListener("keydown", onPageKey);
  $("open-settings").addEventListener("change", (event) => openSettingsFile(event.target));
  $("save-settings").addEventListener("click", saveSettingsFile);
  $("open-help").addEventListener("click", openHelp);
  $("open-about").addEventListener("click", showAbout);
  $("copy-figures").addEventListener("click", copyFigures);

  // The first tab stop has the focus, as when the desktop window opens.
  focusControl(rules("page_next_tab_stop", -1, 1));
  document.body.dataset.ready = "yes";
  performance.mark("calculator-ready");
}

// The rules' module, once its WebAssembly runs; this script's names stay in
// this script, and the page's only global is the module's factory.
let Module = null;
KOVRateCalc.started.then((instance) => {
  Module = instance;
  startPage();
});
