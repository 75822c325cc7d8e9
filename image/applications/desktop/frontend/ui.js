// Small DOM and formatting helpers shared by the panels.

// h('p', {class: 'note'}, 'text', child): an element; text children are never parsed as HTML,
// so names from the machine are shown as they are.
export function h(tag, props = {}, ...children) {
    const element = document.createElement(tag);
    for (const [key, value] of Object.entries(props)) {
        if (value === undefined || value === null || value === false) continue;
        if (key.startsWith('on')) element.addEventListener(key.slice(2), value);
        else if (key === 'style' && typeof value === 'object') Object.assign(element.style, value);
        else if (key in element && typeof value !== 'string') element[key] = value;
        else element.setAttribute(key, value === true ? '' : value);
    }
    element.append(...children.flat().filter((child) => child !== null && child !== undefined));
    return element;
}

const units = ['bytes', 'KB', 'MB', 'GB', 'TB', 'PB'];

export function formatSize(bytes) {
    if (bytes === 1) return '1 byte';
    let value = bytes;
    let unit = 0;
    while (value >= 1024 && unit < units.length - 1) {
        value /= 1024;
        unit += 1;
    }
    const digits = unit === 0 || value >= 100 ? 0 : 1;
    return `${value.toLocaleString(undefined, { maximumFractionDigits: digits })} ${units[unit]}`;
}

const dateFormat = new Intl.DateTimeFormat(undefined, { dateStyle: 'medium', timeStyle: 'short' });

// Seconds since 1970, as the services give them.
export function formatDate(seconds) {
    return dateFormat.format(new Date(seconds * 1000));
}

// The error body of a refused call, for people: its code and description, and what "param"
// names (the parameter of a 400, else what the request was about, such as a database).
export function errorView(error) {
    const code = error?.code ?? 'ERROR';
    const description = error?.description ?? String(error);
    const about = error?.status === 400 ? `parameter ${error.param}` : error?.param;
    return h('div', { class: 'error', role: 'alert' },
        h('strong', { class: 'error-code' }, code),
        h('span', { class: 'error-text' }, description),
        about ? h('span', { class: 'error-param' }, about) : null);
}

// Replaces what `target` shows.
export function show(target, ...children) {
    target.replaceChildren(...children.flat());
}
