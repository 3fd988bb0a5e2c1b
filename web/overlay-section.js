// SPDX-License-Identifier: GPL-3.0-or-later
// The overlay section: loads one channel's motion-detection cells, privacy
// masks or on-screen text positions from the recorder (GET /api/overlay)
// into the control's overlay page, which shows that channel live with the
// overlay drawn over it; the user edits it there with the mouse; Save reads
// the control's values back and stores them in the recorder
// (PUT /api/overlay), whose pictures then show the change. The texts of the
// on-screen items and whether they show are edited in the page.

import {
  KIND_MASKS, KIND_MOTION, KIND_TEXTS, MAX_MASKS, TEXT_ITEMS, PICTURE_WIDTH, PICTURE_HEIGHT,
  ALIGNMENT, clampMask, loadCalls, maskFromText, mergeTextItems, sameKind, textItemFromText,
} from './overlay-model.js';
import {fillChannelSelect, httpReason} from './section-helpers.js';

export const OVERLAY_PAGE = 1;  // the control's page for SwitchPage

const MAIN_STREAM = 0;
const INIT_RESULTS = {1: 'the device id is not known', 2: 'no such channel', 3: 'unknown kind', 4: 'unknown stream'};
const HINT_KEYS = {[KIND_MOTION]: 'overlayHintMotion', [KIND_MASKS]: 'overlayHintMasks', [KIND_TEXTS]: 'overlayHintTexts'};

// page: {state, $, run, status, text, setText, switchControlPage}
export function createOverlaySection(page) {
  const {state, $} = page;
  const channelSelect = $('overlay-channel');
  const result = $('overlay-result');
  const hint = $('overlay-hint');
  const textsBox = $('overlay-texts');
  let kind = KIND_MOTION;
  let loads = 0;
  // What the recorder holds ({channel, kind, doc}), as last loaded or saved.
  let loaded = null;
  // The control's values kept while another section was shown (the
  // control's overlay stream is closed meanwhile).
  let kept = null;
  let visited = false;

  function setResult(outcome, key, ...args) {
    page.setText(result, key, ...args);
    result.dataset.outcome = outcome;  // 'busy' | 'ok' | 'error'
    if (outcome !== 'busy') page.status(`Overlay: ${result.textContent}`);
  }

  function showKind() {
    for (const button of document.querySelectorAll('#overlay-kinds [data-kind]'))
      button.setAttribute('aria-pressed', String(Number(button.dataset.kind) === kind));
    page.setText(hint, HINT_KEYS[kind]);
    textsBox.hidden = kind !== KIND_TEXTS;
  }

  // The page's inputs for the on-screen items show the items of doc.
  function showTextItems(doc) {
    for (const item of doc?.osd || []) {
      const visible = $(`overlay-text-visible-${item.index}`);
      if (visible) visible.checked = Boolean(item.visible);
      const input = $(`overlay-text-${item.index}`);
      if (input) input.value = item.text ?? '';
    }
  }

  // The on-screen items as the page's inputs say, at the given positions.
  function textItemsFromInputs(items) {
    return items.map((item) => {
      const input = $(`overlay-text-${item.index}`);
      const visible = $(`overlay-text-visible-${item.index}`);
      return {
        ...item,
        text: input ? input.value : item.text,
        visible: visible ? visible.checked : item.visible,
      };
    });
  }

  // The control's values of the loaded kind, as a document part.
  async function readControl() {
    const {ctrl, devId} = state;
    if (loaded.kind === KIND_MOTION) {
      const motion = await ctrl.GetOverlayMDData(devId);
      if (!/^[0-9A-F]{64}$/.test(motion)) throw new Error(page.text('overlayBadAnswer', 'GetOverlayMDData', motion));
      return {motion};
    }
    if (loaded.kind === KIND_MASKS) {
      const masks = [];
      for (let i = 0; i < MAX_MASKS; ++i) {
        const mask = maskFromText(await ctrl.GetShelterData(devId, i));
        if (!mask) break;
        masks.push(clampMask(mask));
      }
      return {masks};
    }
    const positions = {};
    for (let i = 0; i < TEXT_ITEMS; ++i) {
      const answer = await ctrl.GetOsdOverlayData(devId, i);
      const item = textItemFromText(answer);
      if (!item) throw new Error(page.text('overlayBadAnswer', 'GetOsdOverlayData', answer));
      positions[i] = item;
    }
    const items = (loaded.doc.osd || []).filter((item) => positions[item.index]);
    return {osd: textItemsFromInputs(mergeTextItems(items, positions))};
  }

  // Starts the control's overlay editing of channel and kind with doc.
  async function startEditing(channel, editKind, doc) {
    const {ctrl, devId} = state;
    await page.switchControlPage(OVERLAY_PAGE);
    await ctrl.UninitOverlay();
    const code = await ctrl.InitOverlay(devId, channel, editKind, MAIN_STREAM, PICTURE_WIDTH, PICTURE_HEIGHT);
    if (code !== 0) throw new Error(`InitOverlay ${code} (${INIT_RESULTS[code] || 'failed'})`);
    await ctrl.SetOSD_AlignPixels(ALIGNMENT);
    for (const [method, ...args] of loadCalls(devId, editKind, doc)) {
      const answer = await ctrl.call(method, ...args);
      if (answer !== '') throw new Error(page.text('overlayRefused', method, answer));
    }
  }

  async function load() {
    const load = ++loads;
    const channel = Number(channelSelect.value);
    const editKind = kind;
    kept = null;
    setResult('busy', 'overlayLoading', channel + 1);
    try {
      const response = await fetch(`/api/overlay?channel=${channel}`, {cache: 'no-store'});
      const body = await response.text();
      if (!response.ok) throw new Error(httpReason(response, body));
      const doc = JSON.parse(body);
      // Only the newest load fills the control.
      if (load !== loads) return;
      await startEditing(channel, editKind, doc);
      if (load !== loads) return;
      loaded = {channel, kind: editKind, doc};
      showTextItems(doc);
      setResult('ok', 'overlayLoaded', channel + 1);
    } catch (e) {
      if (load === loads) {
        loaded = null;
        setResult('error', 'overlayLoadFailed', e.message);
      }
    }
  }

  async function hasUnsavedChanges() {
    if (!loaded) return false;
    try {
      return !sameKind(loaded.kind, loaded.doc, await readControl());
    } catch {
      return false;
    }
  }

  async function save() {
    // Saved to the channel and kind loaded, whatever the selectors show.
    if (!loaded) {
      setResult('error', 'overlayNothingLoaded');
      return;
    }
    const {channel} = loaded;
    setResult('busy', 'overlaySaving', channel + 1);
    try {
      const part = await readControl();
      const response = await fetch(`/api/overlay?channel=${channel}`, {
        method: 'PUT', headers: {'content-type': 'application/json'}, body: JSON.stringify(part), cache: 'no-store'});
      const body = await response.text();
      if (!response.ok) throw new Error(httpReason(response, body));
      loaded = {...loaded, doc: JSON.parse(body)};
      setResult('ok', 'overlaySaved', channel + 1);
    } catch (e) {
      setResult('error', 'overlaySaveFailed', e.message);
    }
  }

  async function clear() {
    if (!loaded) {
      setResult('error', 'overlayNothingLoaded');
      return;
    }
    await page.run('ClearOverlayScreen');
    setResult('ok', 'overlayCleared');
  }

  // Asks before edits not saved are lost; false keeps them.
  async function mayDiscard() {
    if (!loaded || !await hasUnsavedChanges()) return true;
    return window.confirm(page.text('overlayDiscard', loaded.channel + 1));
  }

  async function changeChannel() {
    if (!await mayDiscard()) {
      channelSelect.value = String(loaded.channel);
      return;
    }
    await load();
  }

  async function selectKind(wanted) {
    if (wanted === kind && loaded?.kind === wanted) return;
    if (!await mayDiscard()) return;
    kind = wanted;
    showKind();
    await load();
  }

  // An on-screen item's text or visibility changed in the page: the
  // control draws it from then on, where the user has placed it.
  async function applyTextItem(index) {
    if (!loaded || loaded.kind !== KIND_TEXTS) return;
    const item = (loaded.doc.osd || []).find((i) => i.index === index);
    if (!item) return;
    const position = textItemFromText(await state.ctrl.GetOsdOverlayData(state.devId, index));
    const [changed] = textItemsFromInputs([{...item, ...(position ? {x: position.x, y: position.y} : {})}]);
    const [call] = loadCalls(state.devId, KIND_TEXTS, {osd: [changed]});
    const [method, ...args] = call;
    const answer = await state.ctrl.call(method, ...args);
    if (answer !== '') setResult('error', 'overlayRefused', method, answer);
  }

  channelSelect.addEventListener('change', () => changeChannel());
  for (const button of document.querySelectorAll('#overlay-kinds [data-kind]'))
    button.addEventListener('click', () => selectKind(Number(button.dataset.kind)));
  for (let index = 0; index < TEXT_ITEMS; ++index) {
    $(`overlay-text-visible-${index}`)?.addEventListener('change', () => applyTextItem(index));
    $(`overlay-text-${index}`)?.addEventListener('change', () => applyTextItem(index));
  }
  $('overlay-load').addEventListener('click', async () => { if (await mayDiscard()) await load(); });
  $('overlay-save').addEventListener('click', () => save());
  $('overlay-clear').addEventListener('click', () => clear());
  showKind();

  return {
    controlPage: OVERLAY_PAGE,
    // The first visit loads the selected channel; a later one goes on with
    // what the user had when leaving, edits included.
    async show() {
      fillChannelSelect(channelSelect, state.channels);
      if (!visited) {
        visited = true;
        await load();
        return;
      }
      if (!loaded || !kept) return;
      const resumed = {...loaded.doc, ...kept};
      kept = null;
      try {
        await startEditing(loaded.channel, loaded.kind, resumed);
        showTextItems(resumed);
      } catch (e) {
        setResult('error', 'overlayLoadFailed', e.message);
      }
    },
    // Leaving closes the overlay's own live stream; the edits are kept.
    async leave() {
      if (loaded && !kept) {
        try { kept = await readControl(); } catch { kept = null; }
      }
      await state.ctrl.UninitOverlay();
    },
    // A new log-in: the control's overlay page no longer holds our data.
    reset() {
      loaded = null;
      kept = null;
      visited = false;
      ++loads;
      result.textContent = '';
      delete result.dataset.outcome;
    },
  };
}
