// Files: the machine and its standard folders (fileManager info), and a folder browser
// (fileManager directory) whose root lists the volumes.
import { call } from '../taviro.js';
import { errorView, formatDate, formatSize, h, show } from '../ui.js';

const folderNames = {
    DOCUMENTS: 'Documents', DESKTOP: 'Desktop', DOWNLOAD: 'Downloads', PICTURES: 'Pictures',
    MUSIC: 'Music', VIDEO: 'Videos', CONFIG: 'Configuration', DATA: 'Data', STATE: 'State',
    CACHE: 'Cache', GAMES1: 'Saved games', GAMES2: 'Saved games (2)',
};

function parentOf(path) {
    if (path === '/' || path === '') return '';
    const cut = path.replace(/\/+$/, '').lastIndexOf('/');
    return cut <= 0 ? '/' : path.slice(0, cut);
}

function childOf(path, name) {
    return path.endsWith('/') ? path + name : `${path}/${name}`;
}

function byKindThenName(a, b) {
    if (a.type !== b.type) return a.type === 'folder' ? -1 : 1;
    return a.name.localeCompare(b.name, undefined, { numeric: true, sensitivity: 'base' });
}

export const title = 'Files';

export function mount(section) {
    let folder = '';
    let request = 0;

    const machine = h('p', { class: 'machine' }, 'Asking the host…');
    const places = h('div', { class: 'places' });
    const pathInput = h('input', {
        type: 'text', name: 'folder', placeholder: '/path/to/a/folder',
        spellcheck: 'false', autocomplete: 'off',
    });
    const nameFilter = h('input', {
        type: 'text', name: 'nameFilter', placeholder: '.*\\.txt', spellcheck: 'false',
        autocomplete: 'off',
    });
    const kinds = ['folder', 'file', 'volume'].map((kind) => h('input', {
        type: 'checkbox', name: 'kind', value: kind, checked: true, onchange: () => load(),
    }));
    const crumbs = h('nav', { class: 'crumbs', 'aria-label': 'Folder path' });
    const upButton = h('button', { type: 'button', class: 'icon-button', title: 'Up one folder',
        'aria-label': 'Up', onclick: () => open(parentOf(folder)) }, '↑');
    const status = h('p', { class: 'status', role: 'status' });
    const listing = h('div', { class: 'listing' });

    section.append(
        h('header', { class: 'panel-head' },
            h('h2', {}, 'Files'),
            h('p', { class: 'lead' }, 'The machine, your folders and every mounted volume.')),
        h('div', { class: 'card' }, machine, places),
        h('div', { class: 'card' },
            h('div', { class: 'toolbar' }, upButton, crumbs),
            h('form', { class: 'row', onsubmit: (event) => {
                event.preventDefault();
                open(pathInput.value.trim());
            } }, h('label', { class: 'grow' }, h('span', {}, 'Folder'), pathInput),
            h('button', { type: 'submit' }, 'Open')),
            h('form', { class: 'row filters', onsubmit: (event) => {
                event.preventDefault();
                load();
            } },
            h('label', { class: 'grow' }, h('span', {}, 'Name filter'), nameFilter),
            h('fieldset', { class: 'kinds' }, h('legend', {}, 'Kinds'),
                ...kinds.map((box) => h('label', { class: 'check' }, box,
                    { folder: 'Folders', file: 'Files', volume: 'Volumes' }[box.value]))),
            h('button', { type: 'submit' }, 'Apply')),
            status, listing));

    function open(path) {
        folder = path;
        load();
    }

    function renderCrumbs() {
        const parts = folder === '' ? [] : folder.split('/').filter(Boolean);
        const items = [h('button', { type: 'button', class: 'crumb', onclick: () => open('') },
            'Computer')];
        if (folder !== '') {
            items.push(h('button', { type: 'button', class: 'crumb', onclick: () => open('/') },
                '/'));
        }
        parts.forEach((part, index) => {
            const target = `/${parts.slice(0, index + 1).join('/')}`;
            items.push(h('button', { type: 'button', class: 'crumb', onclick: () => open(target) },
                part));
        });
        items.at(-1).setAttribute('aria-current', 'location');
        show(crumbs, items);
        upButton.disabled = folder === '';
        pathInput.value = folder;
    }

    function volumeTable(volumes) {
        return h('table', { class: 'table' },
            h('thead', {}, h('tr', {}, ...['Volume', 'File system', 'Free', 'Size', 'Used']
                .map((name) => h('th', { scope: 'col' }, name)))),
            h('tbody', {}, volumes.map((volume) => {
                const used = volume.size ? 1 - volume.free / volume.size : 0;
                return h('tr', { 'data-name': volume.name },
                    h('td', {}, h('button', { type: 'button', class: 'link entry volume',
                        onclick: () => open(volume.path) }, volume.path)),
                    h('td', {}, volume.fileSystem),
                    h('td', { class: 'number' }, formatSize(volume.free)),
                    h('td', { class: 'number' }, formatSize(volume.size)),
                    h('td', {}, h('meter', { min: 0, max: 1, value: used, high: 0.9,
                        title: `${Math.round(used * 100)} % used` })));
            })));
    }

    function entryTable(entries) {
        return h('table', { class: 'table' },
            h('thead', {}, h('tr', {}, ...['Name', 'Size', 'Modified', 'Created']
                .map((name) => h('th', { scope: 'col' }, name)))),
            h('tbody', {}, entries.sort(byKindThenName).map((entry) => h('tr',
                { 'data-name': entry.name, 'data-type': entry.type },
                h('td', {}, entry.type === 'folder'
                    ? h('button', { type: 'button', class: 'link entry folder',
                        onclick: () => open(childOf(folder, entry.name)) }, entry.name)
                    : h('span', { class: 'entry file' }, entry.name)),
                h('td', { class: 'number' }, entry.type === 'file' ? formatSize(entry.size) : '—'),
                h('td', {}, formatDate(entry.modified)),
                h('td', {}, formatDate(entry.created))))));
    }

    async function load() {
        renderCrumbs();
        const types = kinds.filter((box) => box.checked).map((box) => box.value);
        if (types.length === 0) {
            status.textContent = 'Choose at least one kind to list.';
            show(listing);
            return;
        }
        const filter = { types };
        if (nameFilter.value !== '') filter.nameFilter = nameFilter.value;
        const body = folder === '' ? { filter } : { folder, filter };
        const mine = ++request;
        status.textContent = 'Loading…';
        try {
            const entries = await call('fileManager', 'directory', body);
            if (mine !== request) return;
            if (entries.length === 0) {
                status.textContent = folder === ''
                    ? 'No volume to show.'
                    : 'Nothing here: the folder is empty, does not exist, or nothing matches.';
                show(listing);
                return;
            }
            status.textContent = entries.length === 1 ? '1 item' : `${entries.length} items`;
            show(listing, folder === '' ? volumeTable(entries) : entryTable(entries));
        } catch (error) {
            if (mine !== request) return;
            status.textContent = 'The host refused to list this folder. An invalid name filter, '
                + 'or a path that names a file, is refused.';
            show(listing, errorView(error));
        }
    }

    call('fileManager', 'info').then((info) => {
        show(machine, 'This machine is ', h('strong', { class: 'machine-name' }, info.name), '.');
        show(places, Object.entries(info.specialFolders).map(([key, path]) => h('button', {
            type: 'button', class: 'place', title: path, 'data-key': key,
            onclick: () => open(path),
        }, h('span', { class: 'place-name' }, folderNames[key] ?? key),
        h('span', { class: 'place-path' }, path))));
    }, (error) => show(machine, errorView(error)));

    load();
}
