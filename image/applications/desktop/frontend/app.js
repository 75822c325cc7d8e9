// Placeholder front end: tells where it runs and which host version serves it.
const where = document.getElementById('where');
where.textContent = window.hWebBrowser === 'hWebBrowser'
    ? 'Running in the taviro window.'
    : 'Running in a browser, served by a headless taviro.';

fetch('/version')
    .then((reply) => reply.text())
    .then((version) => {
        document.getElementById('version').textContent = `Host version ${version}`;
    })
    .catch(() => {
        document.getElementById('version').textContent = 'The host does not answer.';
    });
