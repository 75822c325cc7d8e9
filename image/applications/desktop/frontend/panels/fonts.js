// Fonts: every installed face (appService enumFonts), each drawn in its own face.
import { call } from '../taviro.js';
import { errorView, h, show } from '../ui.js';

const weightNames = {
    100: 'Thin', 200: 'Extra light', 300: 'Light', 400: 'Regular', 500: 'Medium',
    600: 'Semibold', 700: 'Bold', 800: 'Extra bold', 900: 'Black',
};
// Width classes 1 to 9 as CSS font-stretch keywords.
const stretches = ['ultra-condensed', 'extra-condensed', 'condensed', 'semi-condensed', 'normal',
    'semi-expanded', 'expanded', 'extra-expanded', 'ultra-expanded'];

function faceStyle(face) {
    const options = face.options ?? [];
    return {
        fontFamily: `"${face.family.replaceAll('"', '\\"')}"`,
        fontWeight: String(face.weight),
        fontStretch: stretches[face.width - 1] ?? 'normal',
        fontStyle: options.includes('italic') ? 'italic'
            : options.includes('oblique') ? 'oblique' : 'normal',
    };
}

export const title = 'Fonts';

export function mount(section) {
    let faces = [];

    const search = h('input', {
        type: 'search', name: 'search', placeholder: 'Family, style or option',
        'aria-label': 'Search the fonts', autocomplete: 'off', oninput: render,
    });
    const sample = h('input', {
        type: 'text', name: 'sample', value: 'The quick brown fox jumps over the lazy dog 0123',
        'aria-label': 'Sample text', oninput: render,
    });
    const status = h('p', { class: 'status', role: 'status' }, 'Asking the host…');
    const list = h('ul', { class: 'fonts' });

    section.append(
        h('header', { class: 'panel-head' },
            h('h2', {}, 'Fonts'),
            h('p', { class: 'lead' }, 'Every installed face, drawn in itself.')),
        h('div', { class: 'card' },
            h('div', { class: 'row' },
                h('label', { class: 'grow' }, h('span', {}, 'Search'), search),
                h('label', { class: 'grow' }, h('span', {}, 'Sample text'), sample)),
            status),
        list);

    function render() {
        const words = search.value.toLowerCase().split(/\s+/).filter(Boolean);
        const shown = faces.filter((face) => {
            const text = [face.family, face.style, face.postscriptName, ...face.options]
                .join(' ').toLowerCase();
            return words.every((word) => text.includes(word));
        });
        status.textContent = `${shown.length} of ${faces.length} faces`;
        show(list, shown.map((face) => h('li', { class: 'font', 'data-family': face.family,
            'data-weight': face.weight, 'data-width': face.width, 'data-options': face.options.join(' ') },
            h('div', { class: 'font-head' },
                h('span', { class: 'font-name' }, `${face.family} ${face.style}`),
                h('span', { class: 'font-meta' },
                    h('span', { class: 'tag' }, `${face.weight} ${weightNames[face.weight] ?? ''}`.trim()),
                    h('span', { class: 'tag' }, `width ${face.width}`),
                    face.options.map((option) => h('span', { class: 'tag accent' }, option)))),
            h('p', { class: 'font-sample', style: faceStyle(face) }, sample.value || face.family))));
    }

    call('appService', 'enumFonts').then((answer) => {
        faces = answer
            .map((face) => ({ ...face, options: face.options ?? [] }))
            .sort((a, b) => a.family.localeCompare(b.family) || a.width - b.width
                || a.weight - b.weight || a.style.localeCompare(b.style));
        render();
    }, (error) => {
        status.textContent = '';
        show(list, errorView(error));
    });
}
