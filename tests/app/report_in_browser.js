// Injected by report_in_browser.sh into a copy of a report: once the page has loaded, acts
// as a user would (wheel, pinch and drag on the map, pointer over the route, a click on an
// event and on the route) and records on <body> what happened, as data-t-* attributes ("ok" or
// "fail: why") for the shell test to read from the dumped DOM.
window.addEventListener('load', function () {
  'use strict';
  const body = document.body;
  const note = (name, ok, why) => body.setAttribute('data-t-' + name, ok ? 'ok' : 'fail: ' + why);
  const json = (id) => JSON.parse(document.getElementById(id).textContent);
  const svg = document.getElementById('map');
  const view = document.getElementById('view');
  if (!svg) { note('map', false, 'no map'); return; }
  const M = json('map-data');
  const A = json('axis-data');
  const E = document.getElementById('event-data') ? json('event-data') : [];
  const hms = (t) => new Date(t * 1000).toISOString().slice(11, 19);
  // A map position (the route's units) to the window's pixels, through the zoom.
  const client = (x, y) => {
    const m = view.transform.baseVal.consolidate();
    const v = m ? m.matrix : new DOMMatrix();
    return new DOMPoint(x, y).matrixTransform(v).matrixTransform(svg.getScreenCTM());
  };
  const pointer = (type, p, id, kind) => svg.dispatchEvent(new PointerEvent(type, {
    clientX: p.x, clientY: p.y, pointerId: id, pointerType: kind || 'mouse', isPrimary: true, button: 0,
    buttons: type === 'pointerup' ? 0 : 1, bubbles: true, cancelable: true}));
  const scale = () => { const m = /scale\(([-\d.e]+)\)/.exec(view.getAttribute('transform') || ''); return m ? +m[1] : 1; };
  svg.scrollIntoView();

  // Zoom: a wheel turn towards the user over the map scales the view up, about the pointer.
  try {
    const r = svg.getBoundingClientRect();
    const before = view.getAttribute('transform');
    svg.dispatchEvent(new WheelEvent('wheel', {deltaY: -300, deltaMode: 0, clientX: r.left + r.width / 2,
      clientY: r.top + r.height / 3, bubbles: true, cancelable: true}));
    const after = view.getAttribute('transform');
    note('zoom', after !== before && scale() > 2, before + ' -> ' + after);
    document.getElementById('zoom-reset').click();
    note('reset', scale() === 1, view.getAttribute('transform'));
  } catch (e) { note('zoom', false, e.message); }

  // Touch: two fingers moving apart zoom in; one finger dragging pans without zooming.
  try {
    const r = svg.getBoundingClientRect();
    const at = (dx) => ({x: r.left + r.width / 2 + dx, y: r.top + r.height / 3});
    pointer('pointerdown', at(-20), 21, 'touch');
    pointer('pointerdown', at(20), 22, 'touch');
    pointer('pointermove', at(40), 22, 'touch');
    pointer('pointermove', at(80), 22, 'touch');
    pointer('pointerup', at(80), 22, 'touch');
    pointer('pointerup', at(-20), 21, 'touch');
    const pinched = scale();
    note('pinch', pinched > 1.5, view.getAttribute('transform'));
    const before = view.getAttribute('transform');
    pointer('pointerdown', at(0), 23, 'touch');
    pointer('pointermove', at(60), 23, 'touch');
    pointer('pointerup', at(60), 23, 'touch');
    note('drag', view.getAttribute('transform') !== before && scale() === pinched, before + ' -> ' + view.getAttribute('transform'));
    document.getElementById('zoom-reset').click();
  } catch (e) { note('pinch', false, e.message); }

  // Hover: the pointer over a route point shows its time and the second's values (zoomed
  // in, a point of the first device with no other of its points near, so that it is the
  // one shown).
  try {
    for (let i = 0; i < 4; ++i) document.getElementById('zoom-in').click();
    const alone = (q) => M.pts.every((o) => o === q || o[3] !== q[3] || Math.hypot(o[0] - q[0], o[1] - q[1]) > 1.5);
    const q = M.pts.slice(Math.floor(M.pts.length / 4)).find((p) => p[3] === 0 && alone(p));
    if (!q) throw new Error('no route point apart from the others');
    pointer('pointermove', client(q[0], q[1]), 7);
    const tip = document.getElementById('tip');
    const text = tip.textContent;
    note('hover', !tip.hidden && text.includes(hms(M.t0 + q[2])) && /-?\d+(\.\d)? (dB|dBm|kbps)/.test(text), text);
    body.setAttribute('data-t-hover-text', text.slice(0, 200));
  } catch (e) { note('hover', false, e.message); }

  // An event clicked in the table: the time cursor moves to its time on every chart,
  // the map centres on it and the row is highlighted.
  try {
    const j = E.findIndex((e) => e[0] !== null && e[2] !== null);
    if (j < 0) throw new Error('no event with a time and a place');
    document.querySelector('#ev' + j + ' td').click();
    const want = A.left + E[j][0] / (A.t1 - A.t0) * (A.width - A.left - A.right);
    const cursors = Array.from(document.querySelectorAll('svg.chart line.cursor'));
    const moved = cursors.length > 0 && cursors.every((l) => l.getAttribute('visibility') === 'visible' &&
      Math.abs(+l.getAttribute('x1') - want) < 0.2);
    const ring = document.getElementById('sel').getBoundingClientRect();
    const r = svg.getBoundingClientRect();
    const h = r.height * M.h / svg.viewBox.baseVal.height;  // the map's part of the picture, legend below
    const centred = Math.abs(ring.left + ring.width / 2 - (r.left + r.width / 2)) < 3 &&
      Math.abs(ring.top + ring.height / 2 - (r.top + h / 2)) < 3;
    note('event', moved && centred && scale() > 1 && document.getElementById('ev' + j).classList.contains('sel'),
      'cursor ' + cursors.map((l) => l.getAttribute('x1')).join(',') + ' want ' + want.toFixed(1) + ', centred ' + centred);
  } catch (e) { note('event', false, e.message); }

  // The route clicked away from any event mark: the table highlights the event nearest in
  // time and scrolls to it.
  try {
    document.getElementById('zoom-reset').click();
    const marks = Array.from(document.querySelectorAll('#evmarks > g')).map((g) => {
      const m = /translate\(([-\d.]+) ([-\d.]+)\)/.exec(g.getAttribute('transform'));
      return [+m[1], +m[2]];
    });
    const free = M.pts.findIndex((q, i) => i > M.pts.length / 3 &&
      marks.every((m) => Math.hypot(m[0] - q[0], m[1] - q[1]) > 20));
    if (free < 0) throw new Error('no route point away from event marks');
    const q = M.pts[free];
    let best = -1;
    E.forEach((e, j) => {
      if (e[0] === null || e[1] !== q[3]) return;
      if (best < 0 || Math.abs(e[0] - q[2]) < Math.abs(E[best][0] - q[2])) best = j;
    });
    const p = client(q[0], q[1]);
    pointer('pointerdown', p, 8);
    pointer('pointerup', p, 8);
    const row = document.querySelector('#evbox tr.sel');
    const box = document.getElementById('evbox');
    const visible = row && row.offsetTop >= box.scrollTop && row.offsetTop + row.offsetHeight <= box.scrollTop + box.clientHeight;
    note('route-click', best >= 0 && row && row.id === 'ev' + best && visible,
      'selected ' + (row ? row.id : 'none') + ', want ev' + best + ', visible ' + visible);
  } catch (e) { note('route-click', false, e.message); }
});
