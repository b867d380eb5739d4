// The browser's storage of the editor: IndexedDB (handles of recent files, recovery copies,
// previous versions). Callers fail soft: without storage the editor works, only without what it
// would keep.
const kDb = 'zezudi';
const kStores = ['recent', 'recovery', 'versions'] as const;
type StoreName = (typeof kStores)[number];

let opened: Promise<IDBDatabase> | null = null;

function db(): Promise<IDBDatabase> {
  if (!opened)
    opened = new Promise((resolve, reject) => {
      const r = indexedDB.open(kDb, 2);
      // A storage made by an earlier edition gets the stores it lacks.
      r.onupgradeneeded = () => {
        for (const name of kStores) if (!r.result.objectStoreNames.contains(name)) r.result.createObjectStore(name);
      };
      r.onsuccess = () => resolve(r.result);
      r.onerror = () => reject(r.error);
    });
  return opened;
}

function request<T>(store: StoreName, mode: IDBTransactionMode, f: (s: IDBObjectStore) => IDBRequest): Promise<T> {
  return db().then((d) => new Promise<T>((resolve, reject) => {
    const t = d.transaction(store, mode);
    const r = f(t.objectStore(store));
    t.oncomplete = () => resolve(r.result as T);
    t.onerror = () => reject(t.error);
    t.onabort = () => reject(t.error);
  }));
}

export const put = (store: StoreName, key: string, value: unknown) =>
  request<void>(store, 'readwrite', (s) => s.put(value, key));
export const get = <T>(store: StoreName, key: string) =>
  request<T | undefined>(store, 'readonly', (s) => s.get(key));
export const remove = (store: StoreName, key: string) =>
  request<void>(store, 'readwrite', (s) => s.delete(key));
export const keys = (store: StoreName) =>
  request<IDBValidKey[]>(store, 'readonly', (s) => s.getAllKeys()).then((k) => k.map(String));
