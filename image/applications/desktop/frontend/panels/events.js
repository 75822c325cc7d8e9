// Events: the host's events as they arrive on /ws, newest first.
import { inWindow, onConnection, onEvent } from '../taviro.js';
import { h, show } from '../ui.js';

const states = {
    connecting: ['Connecting…', 'pending'],
    open: ['Connected', 'ok'],
    closed: ['Disconnected, retrying', 'bad'],
};
const timeFormat = new Intl.DateTimeFormat(undefined, { timeStyle: 'medium' });

export const title = 'Events';

export function mount(section) {
    const badge = h('span', { class: 'badge', role: 'status' });
    const list = h('ol', { class: 'events', reversed: true });
    const empty = h('p', { class: 'status' }, inWindow
        ? 'Nothing yet. Choose an item of the menu bar to see its event.'
        : 'Nothing yet. The host sends an event when an item of its window\'s menu bar is chosen.');

    section.append(
        h('header', { class: 'panel-head' },
            h('h2', {}, 'Events'),
            h('p', { class: 'lead' }, 'What the host sends on its event channel, as it arrives.')),
        h('div', { class: 'card' },
            h('div', { class: 'toolbar' }, h('span', {}, 'Channel /ws'), badge,
                h('button', { type: 'button', class: 'secondary push', onclick: () => {
                    show(list);
                    empty.hidden = false;
                } }, 'Clear')),
            empty, list));

    onConnection((state) => {
        const [text, tone] = states[state];
        badge.textContent = text;
        badge.dataset.tone = tone;
        badge.dataset.state = state;
    });

    onEvent((event) => {
        empty.hidden = true;
        list.prepend(h('li', { class: 'event', 'data-type': event.type },
            h('time', {}, timeFormat.format(new Date())),
            h('span', { class: 'tag accent' }, String(event.type)),
            h('code', {}, JSON.stringify(event.data))));
    });
}
