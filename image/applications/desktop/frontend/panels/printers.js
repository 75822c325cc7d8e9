// Printers: what printManager enum answers.
import { call } from '../taviro.js';
import { errorView, h, show } from '../ui.js';

export const title = 'Printers';

export function mount(section) {
    const body = h('div', { class: 'card' }, h('p', { class: 'status' }, 'Asking the host…'));
    section.append(
        h('header', { class: 'panel-head' },
            h('h2', {}, 'Printers'),
            h('p', { class: 'lead' }, 'The printers the host can print to.')),
        body);

    call('printManager', 'enum').then((printers) => {
        if (printers.length === 0) {
            show(body,
                h('p', { class: 'empty-title' }, 'No printers.'),
                h('p', { class: 'status' }, 'The host has no printing system on this platform, '
                    + 'so there is nothing to print to.'));
            return;
        }
        show(body, h('ul', { class: 'plain' }, printers.map((printer) => h('li', {},
            printer.name ?? printer.printerName ?? JSON.stringify(printer)))));
    }, (error) => show(body, errorView(error)));
}
