// The shell: panels, theme, about dialog, and in the host's window the native menu bar.
import { call, inWindow, onEvent } from './taviro.js';
import { errorView, h } from './ui.js';
import * as database from './panels/database.js';
import * as events from './panels/events.js';
import * as files from './panels/files.js';
import * as fonts from './panels/fonts.js';
import * as printers from './panels/printers.js';

const panels = { files, database, fonts, printers, events };
const root = document.documentElement;
const tabs = [...document.querySelectorAll('.tabs a')];
const themeButton = document.getElementById('theme');
const aboutDialog = document.getElementById('about-dialog');
const mounted = new Set();
let current = '';
let menusBuilt = false;
let menuQueue = Promise.resolve();

// A refusal that belongs to no panel, shown for a while at the bottom of the page.
function report(error) {
    const note = h('div', { class: 'toast' }, errorView(error));
    document.body.append(note);
    setTimeout(() => note.remove(), 8000);
}

function mount(id) {
    if (mounted.has(id)) return;
    mounted.add(id);
    panels[id].mount(document.getElementById(id));
}

// The menu requests run in order, so the last state of the page is the one the menu shows.
function menuRequest(body) {
    menuQueue = menuQueue.then(() => call('appService', 'updateMenu', body)).catch(report);
}

function viewOptions() {
    return [
        ...Object.keys(panels).map((id) => ({
            type: 'action', id: `view.${id}`, text: panels[id].title, selected: id === current,
        })),
        { type: 'separator' },
        { type: 'action', id: 'view.dark', text: 'Dark theme', selected: isDark() },
    ];
}

function updateViewMenu() {
    if (menusBuilt) menuRequest({ menu: 'view', options: viewOptions() });
}

function showPanel(id) {
    const next = id in panels ? id : 'files';
    mount(next);
    for (const key of Object.keys(panels)) document.getElementById(key).hidden = key !== next;
    for (const tab of tabs) {
        if (tab.dataset.panel === next) tab.setAttribute('aria-current', 'page');
        else tab.removeAttribute('aria-current');
    }
    document.title = `${panels[next].title} · taviro`;
    if (location.hash !== `#${next}`) history.replaceState(null, '', `#${next}`);
    current = next;
    updateViewMenu();
}

// The theme follows the system until the user picks one, which is remembered.
const systemDark = matchMedia('(prefers-color-scheme: dark)');
let chosenTheme = localStorage.getItem('taviro.theme');

function isDark() {
    return chosenTheme ? chosenTheme === 'dark' : systemDark.matches;
}

function applyTheme() {
    if (chosenTheme) root.dataset.theme = chosenTheme;
    else delete root.dataset.theme;
    themeButton.setAttribute('aria-pressed', String(isDark()));
    updateViewMenu();
}

function toggleTheme() {
    chosenTheme = isDark() ? 'light' : 'dark';
    localStorage.setItem('taviro.theme', chosenTheme);
    applyTheme();
}

async function openAbout() {
    document.getElementById('about-where').textContent = inWindow
        ? 'Running in the taviro window.'
        : 'Running in a browser, served by a headless taviro.';
    if (!aboutDialog.open) aboutDialog.showModal();
    const version = document.getElementById('about-version');
    try {
        const reply = await fetch('/version');
        version.textContent = `Host version ${await reply.text()}`;
    } catch (error) {
        version.textContent = `The host does not answer: ${error.message}`;
    }
}

function onAction(id) {
    if (id === 'file.quit') call('appService', 'exit').catch(report);
    else if (id === 'view.dark') toggleTheme();
    else if (id.startsWith('view.')) showPanel(id.slice('view.'.length));
    else if (id === 'help.about') openAbout();
}

function buildMenus() {
    menuQueue = call('appService', 'setMenuBar', {
        menuBar: [{ id: 'file', text: 'File' }, { id: 'view', text: 'View' }, { id: 'help', text: 'Help' }],
    }).catch(report);
    menusBuilt = true;
    menuRequest({ menu: 'file', options: [{ type: 'action', id: 'file.quit', text: 'Quit' }] });
    updateViewMenu();
    menuRequest({ menu: 'help', options: [{ type: 'action', id: 'help.about', text: 'About taviro' }] });
}

themeButton.addEventListener('click', toggleTheme);
document.getElementById('about').addEventListener('click', openAbout);
systemDark.addEventListener('change', applyTheme);
window.addEventListener('hashchange', () => showPanel(location.hash.slice(1)));

// Events are collected from the start, whichever panel is shown.
mount('events');
applyTheme();
showPanel(location.hash.slice(1));
if (inWindow) {
    buildMenus();
    onEvent((event) => {
        if (event.type === 'action') onAction(String(event.data?.id ?? ''));
    });
} else {
    document.getElementById('menu-note').hidden = false;
}
